#pragma once
// Files in memory that fail on request: a file that cannot be created, a
// write that stops after some bytes (those bytes reach the file), a close or
// a replace that fails. Every operation is logged.

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Files.h"

class TFakeFileSystem : public IFileSystem {
public:
    std::map<std::string, std::string> Files;
    std::set<std::string> Uncreatable;
    long WriteLimit = -1; // bytes the writers take in all; negative: no limit
    bool FailClose = false;
    bool FailReplace = false;
    std::vector<std::string> Log;

    bool Read(const std::string& name, std::string& data) override
    {
        Log.push_back("read " + name);
        auto found = Files.find(name);
        return found != Files.end() && (data = found->second, true);
    }
    std::unique_ptr<IFileWriter> Create(const std::string& name) override
    {
        Log.push_back("create " + name);
        if (Uncreatable.count(name))
            return nullptr;
        Files[name].clear();
        return std::make_unique<TWriter>(*this, name);
    }
    bool Replace(const std::string& from, const std::string& to) override
    {
        Log.push_back("replace " + from + " " + to);
        if (FailReplace || !Files.count(from))
            return false;
        Files[to] = Files[from];
        Files.erase(from);
        return true;
    }
    bool Remove(const std::string& name) override
    {
        Log.push_back("remove " + name);
        return Files.erase(name) != 0;
    }

private:
    struct TWriter : IFileWriter {
        TWriter(TFakeFileSystem& files, std::string name) : Fs(files), Name(std::move(name)) {}
        bool Write(const char* data, size_t size) override
        {
            Fs.Log.push_back("write " + Name);
            const size_t take = Fs.WriteLimit < 0 ? size : std::min(size, static_cast<size_t>(Fs.WriteLimit));
            if (Fs.WriteLimit >= 0)
                Fs.WriteLimit -= static_cast<long>(take);
            Fs.Files[Name].append(data, take);
            return take == size;
        }
        bool Close() override { return Fs.Log.push_back("close " + Name), !Fs.FailClose; }
        TFakeFileSystem& Fs;
        std::string Name;
    };
};
