#pragma once
// Files in memory, with failures on request: a file that cannot be created,
// a write that stops after some bytes (those bytes reach the file), a close
// or a replace that fails. Every operation is logged.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Files.h"

class TFakeFileSystem : public IFileSystem {
public:
    std::map<std::string, std::string> Files;
    std::set<std::string> Unreadable;
    std::set<std::string> Uncreatable;
    // A writer takes this many bytes in all, then fails; negative: no limit.
    long WriteLimit = -1;
    bool FailClose = false;
    bool FailReplace = false;
    std::vector<std::string> Log;

    bool Read(const std::string& name, std::string& data) override
    {
        Log.push_back("read " + name);
        auto found = Files.find(name);
        if (found == Files.end() || Unreadable.count(name))
            return false;
        data = found->second;
        return true;
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
        auto found = Files.find(from);
        if (FailReplace || found == Files.end())
            return false;
        Files[to] = found->second;
        Files.erase(from);
        return true;
    }

    bool Remove(const std::string& name) override
    {
        Log.push_back("remove " + name);
        return Files.erase(name) != 0;
    }

private:
    class TWriter : public IFileWriter {
    public:
        TWriter(TFakeFileSystem& files, std::string name) : FFiles(files), FName(std::move(name)) {}
        bool Write(const char* data, size_t size) override
        {
            FFiles.Log.push_back("write " + FName);
            size_t take = size;
            if (FFiles.WriteLimit >= 0) {
                take = std::min(size, static_cast<size_t>(FFiles.WriteLimit));
                FFiles.WriteLimit -= static_cast<long>(take);
            }
            FFiles.Files[FName].append(data, take);
            return take == size;
        }
        bool Close() override
        {
            FFiles.Log.push_back("close " + FName);
            return !FFiles.FailClose;
        }

    private:
        TFakeFileSystem& FFiles;
        std::string FName;
    };
};
