# Warnings every target of ours gets; the build is kept warning-free.
add_library(ovra_warnings INTERFACE)
target_compile_options(ovra_warnings INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
target_compile_definitions(ovra_warnings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_KEYWORDS QT_NO_FOREACH QT_USE_QSTRINGBUILDER)

# Qt, QCoro and the standard library are in almost every file; precompiling them roughly halves
# the build on the two-core machines CI runs on.
option(OVRA_PRECOMPILED_HEADERS "Precompile the common headers" ON)
function(ovra_precompile_common_headers target)
    if(OVRA_PRECOMPILED_HEADERS)
        target_precompile_headers(${target} PRIVATE
            <QtCore/QObject> <QtCore/QString> <QtCore/QStringList> <QtCore/QList> <QtCore/QHash>
            <QtCore/QMap> <QtCore/QByteArray> <QtCore/QPointer>
            <qcoro/qcorotask.h> <functional> <memory> <optional> <vector>)
    endif()
endfunction()
