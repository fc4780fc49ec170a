#pragma once
// Files in memory that fail on request: a file that cannot be read (with the
// system's reason), created, duplicated or renamed, a write that stops after
// some bytes (those bytes reach the file), a close or a replace that fails,
// and read-only files as Windows keeps them (never overwritten, replaced or
// removed; renamed and duplicated with their mark). Every operation is logged.

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
    std::map<std::string, std::string> Unreadable; // name: the reason a read gives
    std::set<std::string> Uncreatable;             // for Create and as the target of Duplicate
    long WriteLimit = -1; // bytes the writers take in all; negative: no limit
    bool FailClose = false;
    std::set<std::string> Unreplaceable; // targets a replace cannot reach
    bool FailRename = false;
    std::set<std::string> ReadOnly;
    std::vector<std::string> Log;
    size_t MostBytesRead = 0; // the largest answer of a read

    TReadResult Read(const std::string& name, std::string& data, size_t limit, std::string& reason) override
    {
        Log.push_back("read " + name);
        if (auto unreadable = Unreadable.find(name); unreadable != Unreadable.end()) {
            reason = unreadable->second;
            return TReadResult::Failed;
        }
        auto found = Files.find(name);
        if (found == Files.end())
            return TReadResult::Missing;
        if (found->second.size() > limit)
            return TReadResult::TooLarge;
        data = found->second;
        MostBytesRead = std::max(MostBytesRead, data.size());
        return TReadResult::Read;
    }
    std::unique_ptr<IFileWriter> Create(const std::string& name) override
    {
        Log.push_back("create " + name);
        if (Uncreatable.count(name) || ReadOnly.count(name))
            return nullptr;
        Files[name].clear();
        return std::make_unique<TWriter>(*this, name);
    }
    bool Replace(const std::string& from, const std::string& to) override
    {
        Log.push_back("replace " + from + " " + to);
        if (Unreplaceable.count(to) || ReadOnly.count(to) || !Files.count(from))
            return false;
        Files[to] = Files[from];
        Files.erase(from);
        MoveMark(from, to);
        return true;
    }
    bool Rename(const std::string& name, const std::string& to) override
    {
        Log.push_back("rename " + name + " " + to);
        if (FailRename || !Exists(name) || Exists(to))
            return false;
        if (Files.count(name))
            Files[to] = Files[name];
        Files.erase(name);
        if (Unreadable.count(name))
            Unreadable[to] = Unreadable[name];
        Unreadable.erase(name);
        MoveMark(name, to);
        return true;
    }
    bool Duplicate(const std::string& name, const std::string& copy) override
    {
        Log.push_back("duplicate " + name + " " + copy);
        if (!Files.count(name) || Exists(copy) || Uncreatable.count(copy))
            return false;
        Files[copy] = Files[name];
        if (ReadOnly.count(name))
            ReadOnly.insert(copy);
        return true;
    }
    bool Exists(const std::string& name) override { return Files.count(name) || Unreadable.count(name); }
    bool IsReadOnly(const std::string& name) override { return ReadOnly.count(name) && Exists(name); }
    bool Remove(const std::string& name) override
    {
        Log.push_back("remove " + name);
        if (ReadOnly.count(name))
            return false;
        return Files.erase(name) + Unreadable.erase(name) != 0;
    }

private:
    void MoveMark(const std::string& from, const std::string& to)
    {
        ReadOnly.erase(to);
        if (ReadOnly.erase(from))
            ReadOnly.insert(to);
    }

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
