// The memory list's benchmark under Wine: the system's files (the save moved
// over the old file), the window painted through GDI into a bitmap by its
// WM_PRINTCLIENT, as WM_PRINT would.
#include <windows.h>

#include <cstdio>

#include "platform/win32/Win32FileSystem.h"
#include "tests/memories/MemoriesBench.h"
#include "tests/support/ListFormBench.h"
#include "tests/support/TempFolder.h"
#include "tests/support/win32/FormBitmap.h"
#include "ui/win32/Win32Host.h"

int main()
{
    std::vector<bench::TResult> results;
    try {
        const TTempFolder dir("velkor-memories-bench");
        TWin32FileSystem files;
        const std::string file = dir.Name("velkor.mem");
        TListFormBench<TWin32Host> program;
        results = bench::Run(
            files, file, [&] { return new TListForm(&program.App, *program.Trx, files, program.Reg, file); },
            [&](TListForm& list) {
                TFormBitmap bitmap(list);
                if (!bitmap.Valid())
                    throw Exception("The window could not be painted");
            });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench: %s\n", error.what());
        return 1;
    }
    std::printf("memories, under Wine (the window painted through GDI)\n");
    bench::Print(results);
    return 0;
}
