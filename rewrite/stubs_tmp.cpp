// TEMPORARY link stubs, deleted by the rewrite's author when the real modules land.
#include <stdexcept>
#include <string>
void rewriteSources() { throw std::logic_error("stub"); }
void rewriteAsmSources() { throw std::logic_error("stub"); }
void splitSourceLine(std::string&, std::string&, std::string&, const std::string&) { throw std::logic_error("stub"); }
int lookupInverse(const char*) { throw std::logic_error("stub"); }
void copyUpper(std::string&, const std::string&) { throw std::logic_error("stub"); }
