#include "writers/mkn_writer.h"

#include <algorithm>
#include <map>

#include "datastore/topic_keys.h"

std::string BuildMknFile(const std::vector<MknSourceEntry>& entries, X6FileOptions options)
{
    struct Keyed {
        TopicKey key;
        const MknSourceEntry* entry;
    };
    std::vector<Keyed> order;
    std::map<TopicKey, const MknSourceEntry*> seen;
    for (const MknSourceEntry& e : entries) {
        const std::string name = e.name.empty() ? e.code : e.name;
        if (e.code.empty() || e.code.size() > 6)
            throw X6Error(name + ": the code \"" + e.code + "\" is not 1 to 6 characters");
        const TopicKey key = PackTopicKey(e.code);
        const auto [at, added] = seen.emplace(key, &e);
        if (!added)
            throw X6Error(name + ": the code \"" + e.code + "\" has the key of \"" + at->second->code + "\"");
        order.push_back({key, &e});
    }
    if (order.size() > 1)
        std::stable_sort(order.begin() + 1, order.end(),
                         [](const Keyed& a, const Keyed& b) { return a.key < b.key; });

    const HuffEncoder encoder(options.tables ? *options.tables : ProgramHuffTables());
    X6Writer writer(options);
    for (const Keyed& k : order) {
        const MknSourceEntry& e = *k.entry;
        X6Record r;
        r.text = e.text;
        r.name = e.name.empty() ? e.code : e.name;
        std::string code = e.code;
        code.resize(6, ' ');
        std::copy(code.begin(), code.end(), r.key.begin());
        if (options.compressed) {
            // The reader takes the narrow layout only and a packed text no
            // longer than the text.
            const size_t t = r.text.size();
            const size_t p = encoder.Encode(r.text).size();
            if (t >= (1u << 18) || p >= (1u << 17))
                throw X6Error(r.name + ": the text needs the wide layout");
            if (p > t)
                throw X6Error(r.name + ": the text packs into more bytes than it holds");
        }
        writer.Add(r);
    }
    return writer.Finish();
}

std::string BuildMknWordList(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines) {
        if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }))
            throw X6Error("the word-list line \"" + line + "\" holds a control byte");
        out += line;
        out.push_back('\n');
    }
    return out;
}
