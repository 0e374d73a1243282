// libFuzzer's target for the settings file's reader (make fuzz): any bytes
// are read without a fault, in time linear in their number, and what is
// written from them reads back as the same.

#include <cstdint>
#include <cstdlib>

#include "platform/inifile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using orvane::platform::IniFile;
    const QByteArray written = IniFile::parse(QByteArrayView(data, static_cast<qsizetype>(size))).text();
    if (IniFile::parse(written).text() != written)
        std::abort();
    return 0;
}
