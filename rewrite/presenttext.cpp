// Whether a source still holds the text that the pass's assembler run read.
#include "rewrite/presenttext.h"

#include <map>

#include "platform/platform.h"

namespace {

std::map<std::string, FileStamp> stamps;  // by the name stamped
std::map<std::string, FileStamp> searched;  // how each file stood when the label search read it
std::string staleFile;

// The stamp of `name`, or one that matches no file's when it cannot be examined.
FileStamp stampOrNone(const char* name) {
    FileStamp stamp{};
    if (!stampFile(name, stamp))
        stamp = FileStamp{};
    return stamp;
}

}  // namespace

void stampFiles(const std::vector<std::string>& names) {
    stamps.clear();
    for (const std::string& name : names) {
        FileStamp stamp;
        if (stampFile(name.c_str(), stamp))
            stamps[name] = stamp;
    }
}

bool changedSinceStamp(const char* name) {
    FileStamp now;
    bool present = stampFile(name, now);
    auto byName = stamps.find(name);
    if (byName != stamps.end())
        return !present || !sameStamp(byName->second, now);
    // Under another spelling: the file the name leads to now.
    if (!present)
        return false;
    for (const auto& entry : stamps)
        if (sameFile(entry.second.identity, now.identity))
            return !sameStamp(entry.second, now);
    return false;
}

void noteStaleReport(const char* name) {
    if (staleFile.empty())
        staleFile = name;
}

const std::string& staleReportFile() {
    return staleFile;
}

void forgetStaleReport() {
    staleFile.clear();
}

void noteSearchedText(const std::string& name) {
    searched[name] = stampOrNone(name.c_str());
}

bool searchedTextChanged(const std::string& name) {
    auto found = searched.find(name);
    return found != searched.end() && !sameStamp(found->second, stampOrNone(name.c_str()));
}

void noteOwnText(const char* name) {
    auto found = searched.find(name);
    if (found != searched.end())
        found->second = stampOrNone(name);
}
