#include "platform/libcrypto.h"

#include <QDebug>
#include <QString>

#include <dlfcn.h>

#include <memory>

const LibCrypto* openLibCrypto(const char* soname, QString* error)
{
    void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        *error = QString::fromLocal8Bit(::dlerror());
        return nullptr;
    }
    auto table = std::make_unique<LibCrypto>();
    QStringList missing;
#define QY_LIBCRYPTO_RESOLVE(name)                                                                                   \
    table->name = reinterpret_cast<decltype(table->name)>(::dlsym(handle, #name));                                   \
    if (!table->name)                                                                                                \
        missing << QStringLiteral(#name);
    QY_LIBCRYPTO_FUNCTIONS(QY_LIBCRYPTO_RESOLVE)
#undef QY_LIBCRYPTO_RESOLVE
    if (!missing.isEmpty()) {
        *error = QStringLiteral("%1 lacks %2").arg(QString::fromLocal8Bit(soname), missing.join(QStringLiteral(", ")));
        ::dlclose(handle);
        return nullptr;
    }
    // Handed out for the life of the process, like the library itself.
    return table.release();
}

const LibCrypto* libCrypto()
{
    static const LibCrypto* const table = [] {
        QString error;
        const LibCrypto* opened = openLibCrypto(QY_LIBCRYPTO_SONAME, &error);
        if (!opened)
            qWarning().noquote() << "libcrypto unavailable; secrets cannot be sealed or opened and signatures"
                                 << "not checked:" << error;
        return opened;
    }();
    return table;
}
