// Any bytes as a settings file: the reader must not crash, hang or run away with memory, and
// whatever it accepts must come back unchanged through the writer.
#include "settings/IniRecord.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    IniRecord::Values first;
    if (!IniRecord::read(file, first).ok())
        return 0;
    IniRecord::Values second;
    if (!IniRecord::read(IniRecord::write(first), second).ok())
        std::abort();
    if (IniRecord::write(second) != IniRecord::write(first))
        std::abort();
    return 0;
}
