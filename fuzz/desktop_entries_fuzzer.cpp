// Desktop entries as installed by any package: one entry's keys, and the index that finds a
// running program's entry.
#include "fuzz_support.h"
#include "platform/linux/desktop_entries.h"
#include "platform/linux/desktop_entry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ovra;
    const QByteArray content = fuzz::bytes(data, size);
    (void)platform::DesktopEntryFile::parse(QString::fromUtf8(content),
                                            QStringLiteral("sr_RS.UTF-8@latin"));

    fuzz::writeScratchFile(QStringLiteral("applications/fuzzed.desktop"), content);
    platform::DesktopEntries entries({fuzz::scratch().path()}, QStringLiteral("pt-BR"));
    (void)entries.find(QStringLiteral("/usr/bin/fuzzed"), QStringLiteral("fuzzed"));
    return 0;
}
