// Desktop entries as installed by any package: the name lookup of the ignored-apps window and
// the index that finds a running program's entry.
#include "dialogs/desktop_entry_name.h"
#include "fuzz_support.h"
#include "platform/linux/desktop_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ovra;
    const QByteArray content = fuzz::bytes(data, size);
    (void)DesktopEntryName::nameFromEntry(QString::fromUtf8(content), QStringLiteral("pt_BR"));

    fuzz::writeScratchFile(QStringLiteral("applications/fuzzed.desktop"), content);
    platform::DesktopEntries entries({fuzz::scratch().path()}, QStringLiteral("pt-BR"));
    (void)entries.find(QStringLiteral("/usr/bin/fuzzed"), QStringLiteral("fuzzed"));
    return 0;
}
