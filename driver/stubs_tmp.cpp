// TEMPORARY link stubs, deleted by the driver's author when the real modules land.
#include <stdexcept>
[[noreturn]] void fatalExit(int) { throw std::logic_error("stub"); }
void closeStream(int) { throw std::logic_error("stub"); }
void closeAll() { throw std::logic_error("stub"); }
void reportError(int, const char*) { throw std::logic_error("stub"); }
void reportWarning(int, const char*) { throw std::logic_error("stub"); }
