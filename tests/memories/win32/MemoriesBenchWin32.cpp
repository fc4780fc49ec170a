// The memory list's benchmark under Wine: the system's files (the save moved
// over the old file), the window painted through GDI into a bitmap by its
// WM_PRINTCLIENT, as WM_PRINT would.
#include <windows.h>

#include <cstdio>
#include <filesystem>

#include "platform/MemoryRegistry.h"
#include "platform/win32/Win32FileSystem.h"
#include "rig/TransceiverUnit.h"
#include "tests/memories/MemoriesBench.h"
#include "tests/rig/FakeRigServer.h"
#include "tests/support/win32/FormBitmap.h"
#include "ui/win32/Win32Host.h"

int main()
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "velkor-memories-bench";
    std::filesystem::create_directories(dir);
    TWin32FileSystem files;
    const std::string file = (dir / "velkor.mem").string();

    TMemoryRegistry registry;
    std::vector<bench::TResult> results;
    try {
        TWin32Host host;
        TApplication app(host);
        new TForm(&app); // the main window
        auto* trx = new TTransceiver(&app, std::make_unique<TAppPollHost>(app), std::make_unique<TFakeRigServer>());
        results = bench::Run(
            files, file, [&] { return new TListForm(&app, *trx, files, registry, file); },
            [&](TListForm& list) {
                TFormBitmap bitmap(list);
                if (!bitmap.Valid())
                    throw Exception("The window could not be painted");
            });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench: %s\n", error.what());
        return 1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::printf("memories, under Wine (the window painted through GDI)\n");
    bench::Print(results);
    return 0;
}
