#pragma once
// What the memory list's benchmark measures, on any file store and host: the
// load, the save and the sorts of 10,000 memories and the memory list window
// painted with them, each as the median of several runs and against a floor
// measured in the same run (reading the memory file's bytes).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/SysUtils.h"
#include "memories/ListUnit.h"
#include "memories/MemoryFile.h"

namespace bench {

constexpr int kMemories = 10000;

// The median of runs of an action, in milliseconds; prepare runs untimed
// before each.
inline double MedianMs(int runs, const std::function<void()>& action, const std::function<void()>& prepare = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        const auto start = std::chrono::steady_clock::now();
        action();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A memory file of kMemories rows in random order, from a fixed seed.
inline std::string RandomMemoryFile()
{
    std::mt19937 random(20240611);
    const char* const modes[] = {"CW", "USB", "LSB", "DIGI", "AM", "FM", "CW-R", "DIGI-R"};
    std::string text = "Caption\tMode\tVFO A\tVFO B\t\r\n";
    for (int i = 0; i < kMemories; ++i) {
        const int freq = 1800000 + static_cast<int>(random() % 52000000);
        text += Format("Memory %05u %s\t%s\t%d.%03d.%03d\t%s\t\r\n", static_cast<unsigned>(random() % 100000),
                       i % 3 ? "DX" : "net", modes[random() % 8], freq / 1000000, freq / 1000 % 1000, freq % 1000,
                       i % 4 ? "" : "-1");
    }
    return text;
}

struct TResult {
    std::string Name;
    double Ms;
};

// Runs the file and sort measurements; paint(list) paints the whole window
// once, the list holding the memories.
inline std::vector<TResult> Run(IFileSystem& files, const std::string& fileName,
                                 const std::function<TListForm*()>& makeList,
                                 const std::function<void(TListForm&)>& paint)
{
    std::vector<TResult> results;
    const std::string text = RandomMemoryFile();
    {
        std::unique_ptr<IFileWriter> writer = files.Create(fileName);
        if (!writer || !writer->Write(text.data(), text.size()) || !writer->Close())
            throw EWriteError("Stream write error");
    }
    const int runs = 9;
    std::string bytes;
    results.push_back({"floor: read the file's bytes", MedianMs(runs, [&] {
                                  std::string reason;
                                  files.Read(fileName, bytes, kMaxMemoryFileSize, reason);
                              })});

    TStringAlignGrid grid(4, 2);
    results.push_back({"load 10,000 memories", MedianMs(runs, [&] { LoadMemoryFile(grid, files, fileName); },
                                                        [&] { grid = TStringAlignGrid(4, 2); })});
    // A save of what the file holds writes nothing; every timed save changes a caption.
    int saves = 0;
    results.push_back({"save 10,000 memories", MedianMs(runs, [&] { SaveMemoryFile(grid, files, fileName); },
                                                        [&] { grid.SetCells(0, 1, "Saved " + IntToStr(++saves)); })});

    const TStringAlignGrid loaded = grid;
    auto sortFrom = [&](const char* name, int col, const std::function<void(TStringAlignGrid&)>& arrange) {
        results.push_back({name, MedianMs(runs, [&] { grid.SortRowsByColumn(col); },
                                          [&] {
                                              grid = loaded;
                                              arrange(grid);
                                          })});
    };
    sortFrom("sort by name, random order", 0, [](TStringAlignGrid&) {});
    sortFrom("sort by name, already sorted", 0, [](TStringAlignGrid& g) { g.SortRowsByColumn(0); });
    sortFrom("sort by name, reverse order", 0, [](TStringAlignGrid& g) { g.SortRowsByColumn(0, false); });
    sortFrom("sort by mode (8 keys), random order", 1, [](TStringAlignGrid&) {});
    sortFrom("sort by FreqA, random order", 2, [](TStringAlignGrid&) {});

    TListForm* list = makeList();
    list->Show();
    results.push_back({"paint the window, 10,000 rows, at the top", MedianMs(runs * 2, [&] { paint(*list); })});
    list->MemoryList->SetTopRow(kMemories / 2);
    results.push_back({"paint the window, 10,000 rows, in the middle", MedianMs(runs * 2, [&] { paint(*list); })});
    return results;
}

inline void Print(const std::vector<TResult>& results)
{
    const double floor = std::max(results.front().Ms, 1e-6);
    for (const TResult& r : results)
        std::printf("%-46s %10.3f ms %10.1f x floor\n", r.Name.c_str(), r.Ms, r.Ms / floor);
}

} // namespace bench
