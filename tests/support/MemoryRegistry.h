#pragma once
// A registry held in memory, for tests: keys and value names without regard to
// case as the system's, values of any type, and keys or writes that can be made
// to fail. Text has no code page here: ANSI and UTF-8 text are kept as the
// bytes given, and the writes say which it was. Keys it hands out must go
// before the store.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

class TMemoryRegistry : public IRegistry {
public:
    explicit TMemoryRegistry(std::string programBaseName = "velkor") : FProgramBaseName(std::move(programBaseName)) {}

    TRegStatus OpenKey(TRegRoot root, const std::string& path, TRegAccess access,
                       std::unique_ptr<IRegistryKey>& key) override;
    TRegStatus CreateKey(TRegRoot root, const std::string& path) override;
    TRegStatus DeleteKey(TRegRoot root, const std::string& path) override;
    std::string ProgramBaseName() override { return FProgramBaseName; }

    // Set-up: stores a value of any type, making its key.
    void SetValue(TRegRoot root, const std::string& path, const std::string& name, TRegValue value);
    void SetString(TRegRoot root, const std::string& path, const std::string& name, const std::string& text)
    {
        SetValue(root, path, name, {RegType::kSz, text});
    }
    // The key exists but cannot be opened (Denied).
    void DenyOpen(TRegRoot root, const std::string& path);
    // The key cannot be made (Denied).
    void DenyCreate(TRegRoot root, const std::string& path);
    // Writing this value fails with status (Failed or Denied).
    void FailWrite(TRegRoot root, const std::string& path, const std::string& name,
                   TRegStatus status = TRegStatus::Failed);

    // Inspection.
    bool HasKey(TRegRoot root, const std::string& path) const;
    std::optional<TRegValue> Value(TRegRoot root, const std::string& path, const std::string& name) const;
    // The key's value names in the order they were first written.
    std::vector<std::string> ValueNames(TRegRoot root, const std::string& path) const;
    struct TWrite {
        std::string Path;
        std::string Name;
        std::string Value;
        bool Utf8 = false; // written as a path (WriteStringUtf8)
        bool operator==(const TWrite&) const = default;
    };
    // Every write carried out through an open key, in order.
    const std::vector<TWrite>& Writes() const { return FWrites; }
    void ClearWrites() { FWrites.clear(); }
    // Keys handed out and not yet closed.
    int OpenKeys() const { return FOpenKeys; }

private:
    class TKey;
    struct TNode {
        std::string Path; // as first made
        std::vector<std::pair<std::string, TRegValue>> Values;
        std::map<std::string, TRegStatus> FailingWrites; // by lower-case name
        bool DenyOpen = false;
    };
    using TId = std::pair<TRegRoot, std::string>; // lower-case path

    static TId Id(TRegRoot root, const std::string& path);
    TNode* Find(const TId& id);
    const TNode* Find(const TId& id) const;
    TNode& Make(TRegRoot root, const std::string& path);

    std::string FProgramBaseName;
    std::map<TId, TNode> FNodes;
    std::set<TId> FDeniedCreates;
    std::vector<TWrite> FWrites;
    int FOpenKeys = 0;
};
