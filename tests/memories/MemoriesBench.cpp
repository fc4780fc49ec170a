// The memory list's benchmark on the native build: the standard library's
// files in a temporary folder, the window painted on the headless host (the
// program's own painting, without the system's drawing).
#include <cstdio>

#include "platform/StdFileSystem.h"
#include "tests/memories/MemoriesBench.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/ListFormBench.h"
#include "tests/support/TempFolder.h"

int main()
{
    const TTempFolder dir("velkor-memories-bench");
    TStdFileSystem files;
    const std::string file = dir.Name("velkor.mem");

    std::vector<bench::TResult> results;
    {
        TListFormBench<THeadlessHost> program;
        results = bench::Run(
            files, file, [&] { return new TListForm(&program.App, *program.Trx, files, program.Reg, file); },
            [&](TListForm& list) { program.Host.Paint(list); });
    }
    std::printf("memories, native (the window painted on the headless host's recording canvas)\n");
    bench::Print(results);
    return 0;
}
