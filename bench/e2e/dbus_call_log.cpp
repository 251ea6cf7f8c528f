// Preloaded into the program by bench_e2e_app_road (LD_PRELOAD): writes one line for every D-Bus
// method call the process sends, on any connection, to the file named by OVRA_DBUS_CALL_LOG:
//   <CLOCK_MONOTONIC nanoseconds> \t <destination> \t <interface>.<member>
// Watching the bus cannot count these: GTK applications answer the program over a direct
// connection the bus never carries. libatspi sends through dbus_connection_send_with_reply (on
// direct connections) and dbus_connection_send_with_reply_and_block (on the bus); calls to the bus
// itself (AddMatch and the like) are no round trips to an application and are left out. Only
// names go to the file, never arguments.
#include <dbus/dbus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Calls made from inside another counted one (libdbus's blocking send is built on the other)
// are the same message.
thread_local int depth = 0;

int logFile() {
    static const int fd = [] {
        const char* path = std::getenv("OVRA_DBUS_CALL_LOG");
        return path ? ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600) : -1;
    }();
    return fd;
}

void record(DBusMessage* message) {
    if (depth > 0 || dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL)
        return;
    const char* destination = dbus_message_get_destination(message);
    if (destination && std::strcmp(destination, DBUS_SERVICE_DBUS) == 0)
        return;
    const int fd = logFile();
    if (fd < 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* interface = dbus_message_get_interface(message);
    const char* member = dbus_message_get_member(message);
    char line[512];
    const int length = std::snprintf(
        line, sizeof line, "%lld\t%s\t%s.%s\n",
        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
        destination ? destination : "-", interface ? interface : "-", member ? member : "-");
    // One write with O_APPEND: lines of concurrent threads do not interleave.
    if (length > 0) {
        const ssize_t written =
            ::write(fd, line, std::min<std::size_t>(std::size_t(length), sizeof line - 1));
        static_cast<void>(written);
    }
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

struct Nested {
    Nested() { ++depth; }
    ~Nested() { --depth; }
};

} // namespace

extern "C" {

dbus_bool_t dbus_connection_send(DBusConnection* connection, DBusMessage* message,
                                 dbus_uint32_t* serial) {
    static const auto real = next<decltype(&dbus_connection_send)>("dbus_connection_send");
    record(message);
    Nested nested;
    return real(connection, message, serial);
}

dbus_bool_t dbus_connection_send_with_reply(DBusConnection* connection, DBusMessage* message,
                                            DBusPendingCall** pending, int timeout) {
    static const auto real =
        next<decltype(&dbus_connection_send_with_reply)>("dbus_connection_send_with_reply");
    record(message);
    Nested nested;
    return real(connection, message, pending, timeout);
}

DBusMessage* dbus_connection_send_with_reply_and_block(DBusConnection* connection,
                                                       DBusMessage* message, int timeout,
                                                       DBusError* error) {
    static const auto real = next<decltype(&dbus_connection_send_with_reply_and_block)>(
        "dbus_connection_send_with_reply_and_block");
    record(message);
    Nested nested;
    return real(connection, message, timeout, error);
}

} // extern "C"
