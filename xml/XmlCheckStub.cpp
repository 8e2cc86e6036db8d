#include "Xml.h"
CXmlSyntax CheckWellFormed(const char*, std::size_t, bool) noexcept { return {}; }
