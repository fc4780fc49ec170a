#include "tests/support/MemoryRegistry.h"

#include <algorithm>

#include "base/SysUtils.h"

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "a\b\c" gives "a", "a\b", "a\b\c".
std::vector<std::string> PathAndParents(const std::string& path)
{
    std::vector<std::string> paths;
    size_t end = 0;
    while ((end = path.find('\\', end)) != std::string::npos) {
        if (end > 0)
            paths.push_back(path.substr(0, end));
        ++end;
    }
    if (!path.empty())
        paths.push_back(path);
    return paths;
}

} // namespace

class TMemoryRegistry::TKey : public IRegistryKey {
public:
    TKey(TMemoryRegistry& store, TId id, TRegAccess access) : FStore(store), FId(std::move(id)), FAccess(access)
    {
        ++FStore.FOpenKeys;
    }
    ~TKey() override { --FStore.FOpenKeys; }

    TRegStatus ReadValue(const std::string& name, TRegValue& value) override
    {
        const TNode* node = FStore.Find(FId);
        if (!node)
            return TRegStatus::Failed; // deleted while open
        for (const auto& [valueName, stored] : node->Values)
            if (SameText(valueName, name)) {
                value = stored;
                return TRegStatus::Ok;
            }
        return TRegStatus::NotFound;
    }

    TRegStatus WriteString(const std::string& name, const std::string& text) override
    {
        return Write(name, text, false);
    }

    // Held in memory, text has no code page: the bytes are kept as given.
    TRegStatus ReadValueUtf8(const std::string& name, TRegValue& value) override { return ReadValue(name, value); }
    TRegStatus WriteStringUtf8(const std::string& name, const std::string& text) override
    {
        return Write(name, text, true);
    }

    TRegStatus DeleteValue(const std::string& name) override
    {
        TNode* node = FStore.Find(FId);
        if (!node || FAccess != TRegAccess::Full)
            return TRegStatus::Failed;
        const auto removed =
            std::erase_if(node->Values, [&](const auto& v) { return SameText(v.first, name); });
        return removed ? TRegStatus::Ok : TRegStatus::NotFound;
    }

private:
    TRegStatus Write(const std::string& name, const std::string& text, bool utf8)
    {
        TNode* node = FStore.Find(FId);
        if (!node)
            return TRegStatus::Failed;
        if (FAccess != TRegAccess::Full)
            return TRegStatus::Denied;
        if (auto failing = node->FailingWrites.find(Lower(name)); failing != node->FailingWrites.end())
            return failing->second;
        auto it = std::find_if(node->Values.begin(), node->Values.end(),
                               [&](const auto& v) { return SameText(v.first, name); });
        if (it == node->Values.end())
            node->Values.push_back({name, {RegType::kSz, text}});
        else
            it->second = {RegType::kSz, text};
        FStore.FWrites.push_back({node->Path, name, text, utf8});
        return TRegStatus::Ok;
    }

    TMemoryRegistry& FStore;
    TId FId;
    TRegAccess FAccess;
};

TMemoryRegistry::TId TMemoryRegistry::Id(TRegRoot root, const std::string& path)
{
    return {root, Lower(RegRelativePath(path))};
}

TMemoryRegistry::TNode* TMemoryRegistry::Find(const TId& id)
{
    auto it = FNodes.find(id);
    return it == FNodes.end() ? nullptr : &it->second;
}

const TMemoryRegistry::TNode* TMemoryRegistry::Find(const TId& id) const
{
    auto it = FNodes.find(id);
    return it == FNodes.end() ? nullptr : &it->second;
}

TMemoryRegistry::TNode& TMemoryRegistry::Make(TRegRoot root, const std::string& path)
{
    const std::string relative = RegRelativePath(path);
    TNode* node = &FNodes[{root, std::string()}];
    for (const std::string& part : PathAndParents(relative)) {
        node = &FNodes[{root, Lower(part)}];
        if (node->Path.empty())
            node->Path = part;
    }
    return *node;
}

TRegStatus TMemoryRegistry::OpenKey(TRegRoot root, const std::string& path, TRegAccess access,
                                    std::unique_ptr<IRegistryKey>& key)
{
    key.reset();
    TId id = Id(root, path);
    if (id.second.empty())
        Make(root, {});
    const TNode* node = Find(id);
    if (!node)
        return TRegStatus::NotFound;
    if (node->DenyOpen)
        return TRegStatus::Denied;
    key = std::make_unique<TKey>(*this, std::move(id), access);
    return TRegStatus::Ok;
}

TRegStatus TMemoryRegistry::CreateKey(TRegRoot root, const std::string& path)
{
    for (const std::string& part : PathAndParents(RegRelativePath(path))) {
        const TId id = Id(root, part);
        if (!Find(id) && FDeniedCreates.count(id))
            return TRegStatus::Denied;
    }
    Make(root, path);
    return TRegStatus::Ok;
}

TRegStatus TMemoryRegistry::DeleteKey(TRegRoot root, const std::string& path)
{
    const TId id = Id(root, path);
    if (id.second.empty())
        return TRegStatus::Failed;
    const TNode* node = Find(id);
    if (!node)
        return TRegStatus::NotFound;
    if (node->DenyOpen)
        return TRegStatus::Denied;
    // One key only, as the system deletes: a key with subkeys stays.
    const std::string below = id.second + "\\";
    for (auto it = FNodes.upper_bound(id); it != FNodes.end() && it->first.first == root; ++it)
        if (it->first.second.starts_with(below))
            return TRegStatus::Failed;
    FNodes.erase(id);
    return TRegStatus::Ok;
}

void TMemoryRegistry::SetValue(TRegRoot root, const std::string& path, const std::string& name, TRegValue value)
{
    TNode& node = Make(root, path);
    auto it = std::find_if(node.Values.begin(), node.Values.end(),
                           [&](const auto& v) { return SameText(v.first, name); });
    if (it == node.Values.end())
        node.Values.push_back({name, std::move(value)});
    else
        it->second = std::move(value);
}

void TMemoryRegistry::DenyOpen(TRegRoot root, const std::string& path) { Make(root, path).DenyOpen = true; }

void TMemoryRegistry::DenyCreate(TRegRoot root, const std::string& path) { FDeniedCreates.insert(Id(root, path)); }

void TMemoryRegistry::FailWrite(TRegRoot root, const std::string& path, const std::string& name, TRegStatus status)
{
    Make(root, path).FailingWrites[Lower(name)] = status;
}

bool TMemoryRegistry::HasKey(TRegRoot root, const std::string& path) const { return Find(Id(root, path)) != nullptr; }

std::optional<TRegValue> TMemoryRegistry::Value(TRegRoot root, const std::string& path, const std::string& name) const
{
    if (const TNode* node = Find(Id(root, path)))
        for (const auto& [valueName, stored] : node->Values)
            if (SameText(valueName, name))
                return stored;
    return std::nullopt;
}

std::vector<std::string> TMemoryRegistry::ValueNames(TRegRoot root, const std::string& path) const
{
    std::vector<std::string> names;
    if (const TNode* node = Find(Id(root, path)))
        for (const auto& value : node->Values)
            names.push_back(value.first);
    return names;
}
