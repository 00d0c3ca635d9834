// Replays the file operations logged during a run under a pessimistic model of what a power cut
// may leave, and counts the crash states in which a source holds none of its complete versions.
//
// Usage: crashcheck LOGDIR VERSIONS [BACKUP]
//   LOGDIR    the ops file and data.N texts written by the preload library (KELVAD_OPLOG)
//   VERSIONS  lines "SOURCE FILE": FILE holds a complete version of SOURCE; the first is its text
//             before the run
//   BACKUP    a name whose complete copy of a source's version excuses that source (the old text
//             kept while a copy goes into the source itself)
//
// The model, for a crash just before operation k:
//   - creates, renames and unlinks reach the disk in their order, but any after the last flush of
//     the directories they touch may be missing: every prefix from there on is a possible state;
//   - a file's text as of its last flush is on disk; text written since may be missing, there in
//     any of its later forms, cut short or zeroed, whatever happened to its names.
// Prints the figures; exits 0 when it could replay the log (the caller judges the bad count).
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum OpKind { Create, Open, Data, Sync, DirSync, Rename, Unlink };

struct Op {
    OpKind kind;
    std::string first, second;  // names, or the file identity and the data number
};

struct FileObject {
    std::string durableAtStart;                   // the text before the run ("" for a new file)
    std::vector<std::pair<int, std::string>> texts;  // (op index, text) at each change seen
    std::vector<int> syncs;                       // op indices of its flushes
};

struct NameOp {
    int index;  // op index
    OpKind kind;
    std::string first, second;
    int object;
};

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string parentOf(const std::string& name) {
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? "." : name.substr(0, slash);
}

std::vector<Op> readOps(const std::string& dir) {
    static const std::map<std::string, OpKind> Kinds = {
        {"create", Create}, {"open", Open},     {"data", Data},     {"sync", Sync},
        {"dirsync", DirSync}, {"rename", Rename}, {"unlink", Unlink},
    };
    std::vector<Op> ops;
    std::ifstream in(dir + "/ops");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        Op op;
        words >> kind >> op.first >> op.second;
        op.kind = Kinds.at(kind);
        ops.push_back(op);
    }
    return ops;
}

// The texts the object may hold on disk after a crash before op k.
std::set<std::string> possibleTexts(const FileObject& file, int k) {
    int lastSync = -1;
    for (int sync : file.syncs)
        if (sync < k)
            lastSync = sync;
    std::string durable = file.durableAtStart;
    std::vector<std::string> unflushed;
    for (const auto& [index, text] : file.texts) {
        if (index >= k)
            break;
        if (index < lastSync)
            durable = text;
        else
            unflushed.push_back(text);
    }
    std::set<std::string> texts = {durable};
    for (const std::string& text : unflushed)
        texts.insert(text);
    if (!unflushed.empty()) {
        const std::string& last = unflushed.back();
        texts.insert(last.substr(0, last.size() / 2));
        texts.insert(std::string(last.size(), '\0'));
    }
    return texts;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: crashcheck LOGDIR VERSIONS [BACKUP]\n";
        return 2;
    }
    std::string dir = argv[1];
    std::string backup = argc > 3 ? argv[3] : "";
    std::vector<std::string> sources;
    std::map<std::string, std::set<std::string>> versions;
    std::map<std::string, int> startNames;  // name -> object, before the run
    std::vector<FileObject> objects;
    std::ifstream list(argv[2]);
    for (std::string source, file; list >> source >> file;) {
        if (!versions.count(source)) {
            sources.push_back(source);
            startNames[source] = objects.size();
            objects.push_back({readWhole(file), {}, {}});
        }
        versions[source].insert(readWhole(file));
    }
    std::vector<Op> ops = readOps(dir);

    // One replay in memory: which object each data, flush and name operation concerns.
    std::map<std::string, int> names = startNames, identities;
    std::vector<std::string> current;
    for (const FileObject& file : objects)
        current.push_back(file.durableAtStart);
    std::vector<NameOp> nameOps;
    std::vector<std::pair<int, std::string>> dirSyncs;
    for (int i = 0; i < (int)ops.size(); ++i) {
        const Op& op = ops[i];
        switch (op.kind) {
        case Create:
            identities[op.second] = names[op.first] = objects.size();
            objects.push_back({"", {}, {}});
            current.push_back("");
            nameOps.push_back({i, Create, op.first, "", identities[op.second]});
            break;
        case Open:
            if (!names.count(op.first)) {
                std::cerr << "op " << i << ": " << op.first << " opened but never seen\n";
                return 2;
            }
            identities[op.second] = names[op.first];
            break;
        case Data: {
            int object = identities.at(op.first);
            std::string text = readWhole(dir + "/data." + op.second);
            if (text != current[object]) {
                objects[object].texts.push_back({i, text});
                current[object] = text;
            }
            break;
        }
        case Sync:
            objects[identities.at(op.first)].syncs.push_back(i);
            break;
        case DirSync:
            dirSyncs.push_back({i, op.first});
            break;
        case Rename:
            nameOps.push_back({i, Rename, op.first, op.second, names[op.first]});
            names[op.second] = names[op.first];
            names.erase(op.first);
            break;
        case Unlink:
            nameOps.push_back({i, Unlink, op.first, "", -1});
            names.erase(op.first);
            break;
        }
    }

    long states = 0, bad = 0, crashPoints = 0, nameOrders = 0;
    for (int k = 0; k <= (int)ops.size(); ++k) {
        ++crashPoints;
        int done = 0;  // name operations before k
        while (done < (int)nameOps.size() && nameOps[done].index < k)
            ++done;
        // A flushed directory holds every earlier name operation in it, and so all before those.
        int least = 0;
        for (const auto& [index, directory] : dirSyncs) {
            if (index >= k)
                continue;
            for (int n = 0; n < done && nameOps[n].index < index; ++n)
                if (parentOf(nameOps[n].first) == directory || parentOf(nameOps[n].second) == directory)
                    least = std::max(least, n + 1);
        }
        for (int reached = least; reached <= done; ++reached) {
            ++nameOrders;
            std::map<std::string, int> onDisk = startNames;
            for (int n = 0; n < reached; ++n) {
                const NameOp& op = nameOps[n];
                if (op.kind == Create)
                    onDisk[op.first] = op.object;
                else if (op.kind == Rename) {
                    onDisk[op.second] = op.object;
                    onDisk.erase(op.first);
                } else
                    onDisk.erase(op.first);
            }
            // Every combination of the texts the checked files may hold.
            std::vector<std::string> checked = sources;
            if (!backup.empty() && onDisk.count(backup))
                checked.push_back(backup);
            std::vector<std::vector<std::string>> choices;
            for (const std::string& name : checked) {
                std::set<std::string> texts;
                if (onDisk.count(name))
                    texts = possibleTexts(objects[onDisk[name]], k);
                choices.emplace_back(texts.begin(), texts.end());
            }
            std::vector<size_t> pick(checked.size(), 0);
            for (;;) {
                ++states;
                bool good = true;
                for (size_t s = 0; s < sources.size(); ++s) {
                    const auto& allowed = versions[sources[s]];
                    bool whole = !choices[s].empty() && allowed.count(choices[s][pick[s]]);
                    bool kept = checked.size() > sources.size() && allowed.count(choices.back()[pick.back()]);
                    if (whole || kept)
                        continue;
                    if (bad < 5)
                        std::cout << "bad: crash before op " << k << ", " << reached << " name operations on disk: "
                                  << sources[s]
                                  << (choices[s].empty() ? " is missing"
                                                         : " holds " + std::to_string(choices[s][pick[s]].size()) +
                                                               " bytes of no complete version")
                                  << "\n";
                    good = false;
                }
                bad += !good;
                size_t digit = 0;
                while (digit < pick.size() && ++pick[digit] >= std::max<size_t>(choices[digit].size(), 1))
                    pick[digit++] = 0;
                if (digit == pick.size())
                    break;
            }
        }
    }
    std::cout << "operations " << ops.size() << ", crash points " << crashPoints << ", name orders " << nameOrders
              << ", states checked " << states << ", bad " << bad << "\n";
    return 0;
}
