// The memory list's benchmark on the native build: the standard library's
// files in a temporary folder, the window painted on the headless host (the
// program's own painting, without the system's drawing).
#include <filesystem>

#include "platform/MemoryRegistry.h"
#include "platform/StdFileSystem.h"
#include "rig/TransceiverUnit.h"
#include "tests/memories/MemoriesBench.h"
#include "tests/rig/FakeRigServer.h"
#include "ui/HeadlessHost.h"

int main()
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "velkor-memories-bench";
    std::filesystem::create_directories(dir);
    TStdFileSystem files;
    const std::string file = (dir / "velkor.mem").string();

    THeadlessHost host;
    TMemoryRegistry registry;
    std::vector<bench::TResult> results;
    {
        TApplication app(host);
        new TForm(&app); // the main window
        auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), std::make_unique<TFakeRigServer>());
        results = bench::Run(
            files, file, [&] { return new TListForm(&app, *trx, files, registry, file); },
            [&](TListForm& list) { host.Paint(list); });
    }
    std::filesystem::remove_all(dir);
    std::printf("memories, native (the window painted on the headless host's recording canvas)\n");
    bench::Print(results);
    return 0;
}
