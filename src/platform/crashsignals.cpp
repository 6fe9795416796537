#include "platform/crashsignals.h"

#include <QFile>

#include <atomic>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

// Everything the handler touches is prepared here before any crash.
char g_folder[1024];
long g_utcOffset = 0; // seconds east of UTC at installation
char g_names[64][256];
char g_stack[64 * 1024];
std::atomic<int> g_inside { 0 };

constexpr int kSignals[] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT };
constexpr int kKeepDumps = 5;

// A fixed-size text being built without the heap; overflowing text is cut.
struct Text {
    char data[1024];
    std::size_t size = 0;
    void add(const char* s)
    {
        while (*s && size < sizeof data)
            data[size++] = *s++;
    }
    void dec(unsigned long long v, int width = 0)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        for (int i = n; i < width; ++i)
            add("0");
        while (n > 0 && size < sizeof data)
            data[size++] = digits[--n];
    }
    void hex(unsigned long long v, int width)
    {
        for (int i = width - 1; i >= 0; --i) {
            if (size < sizeof data)
                data[size++] = "0123456789ABCDEF"[(v >> (4 * i)) & 0xF];
        }
    }
};

void writeAll(int fd, const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;
        p += w;
        n -= std::size_t(w);
    }
}

void writeText(int fd, const Text& t) { writeAll(fd, t.data, t.size); }

struct Civil {
    long long year;
    unsigned month, day, hour, minute, second;
};

// Local civil time from the clock and the offset taken at installation:
// localtime() may lock and allocate, so the calendar is worked out here.
Civil localNow()
{
    timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    long long t = ts.tv_sec + g_utcOffset;
    long long days = t / 86400;
    long long rest = t % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Days since 1970-01-01 to a Gregorian date (H. Hinnant's algorithm).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    Civil c {};
    c.day = doy - (153 * mp + 2) / 5 + 1;
    c.month = mp < 10 ? mp + 3 : mp - 9;
    c.year = (long long)yoe + era * 400 + (c.month <= 2);
    c.hour = unsigned(rest / 3600);
    c.minute = unsigned(rest / 60 % 60);
    c.second = unsigned(rest % 60);
    return c;
}

int lowerAscii(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

int compareNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        const int x = lowerAscii(static_cast<unsigned char>(*a)), y = lowerAscii(static_cast<unsigned char>(*b));
        if (x != y || x == 0)
            return x - y;
    }
}

// Names are matched without regard to case, as the listing that chose
// the pattern did.
bool isDumpName(const char* name)
{
    const std::size_t n = std::strlen(name);
    if (n < 10)
        return false;
    char head[7], tail[5];
    for (int i = 0; i < 6; ++i)
        head[i] = char(lowerAscii(static_cast<unsigned char>(name[i])));
    for (int i = 0; i < 4; ++i)
        tail[i] = char(lowerAscii(static_cast<unsigned char>(name[n - 4 + i])));
    head[6] = tail[4] = '\0';
    return std::strcmp(head, "crash-") == 0 && std::strcmp(tail, ".dmp") == 0;
}

// Keeps the newest dumps: the stamp in the name sorts oldest first.
void pruneDumps()
{
    const int dir = ::open(g_folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    int count = 0;
    alignas(8) char chunk[4096];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, dir, chunk, sizeof chunk);
        if (n <= 0)
            break;
        for (long at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(chunk + at);
            at += entry->d_reclen;
            if (count < 64 && isDumpName(entry->d_name) && std::strlen(entry->d_name) < sizeof g_names[0]) {
                std::strcpy(g_names[count++], entry->d_name);
            }
        }
    }
    if (count > kKeepDumps) {
        for (int i = 0; i < count - 1; ++i) {
            int least = i;
            for (int j = i + 1; j < count; ++j) {
                if (compareNoCase(g_names[j], g_names[least]) < 0)
                    least = j;
            }
            if (least != i) {
                char swap[sizeof g_names[0]];
                std::memcpy(swap, g_names[i], sizeof swap);
                std::memcpy(g_names[i], g_names[least], sizeof swap);
                std::memcpy(g_names[least], swap, sizeof swap);
            }
        }
        for (int i = 0; i < count - kKeepDumps; ++i)
            ::unlinkat(dir, g_names[i], 0);
    }
    ::close(dir);
}

unsigned long long instructionAddress(const ucontext_t* uc)
{
#if defined(__x86_64__)
    return uc ? (unsigned long long)uc->uc_mcontext.gregs[REG_RIP] : 0;
#elif defined(__aarch64__)
    return uc ? (unsigned long long)uc->uc_mcontext.pc : 0;
#else
    (void)uc;
    return 0;
#endif
}

// Whether a faulting access was a write; the page-fault error code tells.
bool wasWrite(const ucontext_t* uc)
{
#if defined(__x86_64__)
    return uc && (uc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)uc;
    return false;
#endif
}

void writeRegisters(int fd, const ucontext_t* uc)
{
#if defined(__x86_64__)
    if (!uc)
        return;
    static const char* const names[] = { "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "rdi", "rsi", "rbp",
                                         "rbx", "rdx", "rax", "rcx", "rsp", "rip", "efl", "csgsfs", "err", "trapno",
                                         "oldmask", "cr2" };
    for (int i = 0; i < NGREG && i < int(sizeof names / sizeof names[0]); ++i) {
        Text t;
        t.add(names[i]);
        t.add("=0x");
        t.hex((unsigned long long)uc->uc_mcontext.gregs[i], 16);
        t.add("\n");
        writeText(fd, t);
    }
#else
    (void)fd;
    (void)uc;
#endif
}

void appendPath(Text& t, const Civil& now)
{
    t.add(g_folder);
    t.add("/crash-");
    t.dec((unsigned long long)now.year, 4);
    t.dec(now.month, 2);
    t.dec(now.day, 2);
    t.add("-");
    t.dec(now.hour, 2);
    t.dec(now.minute, 2);
    t.dec(now.second, 2);
    t.add(".dmp");
}

void writeDump(int sig, const siginfo_t* info, const ucontext_t* uc, const Civil& now, unsigned code, long tid)
{
    Text path;
    appendPath(path, now);
    if (path.size >= sizeof path.data)
        return;
    path.data[path.size] = '\0';
    const int fd = ::open(path.data, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    Text head;
    head.add("TarnavelPanel crash dump\nsignal=");
    head.dec(unsigned(sig));
    head.add(" si_code=");
    head.dec(unsigned(info ? info->si_code : 0));
    head.add(" code=0x");
    head.hex(code, 8);
    head.add("\naddr=0x");
    head.hex(instructionAddress(uc), 16);
    head.add(" fault=0x");
    head.hex((unsigned long long)(info ? info->si_addr : nullptr), 16);
    head.add("\npid=");
    head.dec((unsigned long long)::getpid());
    head.add(" thread=");
    head.dec((unsigned long long)tid);
    head.add("\n\nregisters:\n");
    writeText(fd, head);
    writeRegisters(fd, uc);
    writeAll(fd, "\nbacktrace:\n", 12);
    void* frames[64];
    const int depth = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, depth, fd);
    writeAll(fd, "\nmaps:\n", 7);
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0) {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(maps, buf, sizeof buf)) > 0)
            writeAll(fd, buf, std::size_t(n));
        ::close(maps);
    }
    ::close(fd);
    pruneDumps();
}

void appendCrashLine(const siginfo_t* info, const ucontext_t* uc, const Civil& now, unsigned code, long tid)
{
    Text path;
    path.add(g_folder);
    path.add("/crash.log");
    if (path.size >= sizeof path.data)
        return;
    path.data[path.size] = '\0';
    const int fd = ::open(path.data, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    Text line;
    line.add("[");
    line.dec((unsigned long long)now.year, 4);
    line.add("-");
    line.dec(now.month, 2);
    line.add("-");
    line.dec(now.day, 2);
    line.add(" ");
    line.dec(now.hour, 2);
    line.add(":");
    line.dec(now.minute, 2);
    line.add(":");
    line.dec(now.second, 2);
    line.add("] code=0x");
    line.hex(code, 8);
    line.add(" addr=0x");
    line.hex(instructionAddress(uc), 16);
    line.add(" thread=");
    line.dec((unsigned long long)tid);
    if (code == 0xC0000005u && info) {
        line.add(wasWrite(uc) ? " access=write target=0x" : " access=read target=0x");
        line.hex((unsigned long long)info->si_addr, 16);
    }
    line.add("\n");
    // ASCII widened to UTF-16LE, written in one call.
    char wide[2 * sizeof line.data];
    for (std::size_t i = 0; i < line.size; ++i) {
        wide[2 * i] = line.data[i];
        wide[2 * i + 1] = 0;
    }
    writeAll(fd, wide, 2 * line.size);
    ::close(fd);
}

void onCrash(int sig, siginfo_t* info, void* context)
{
    // A fault inside the handler, or a second thread crashing meanwhile,
    // goes straight to the default action.
    if (g_inside.exchange(1) == 0 && g_folder[0] != '\0') {
        const auto* uc = static_cast<const ucontext_t*>(context);
        const Civil now = localNow();
        const unsigned code = crashExceptionCode(sig);
        const long tid = ::syscall(SYS_gettid);
        writeDump(sig, info, uc, now, code, tid);
        appendCrashLine(info, uc, now, code, tid);
    }
    // The handler was reset on entry: the signal, pending until we return,
    // then ends the process the default way (a fault also recurs).
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

unsigned crashExceptionCode(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return 0xC0000005u; // access violation
    case SIGBUS:
        return 0xC0000006u; // in-page error
    case SIGILL:
        return 0xC000001Du; // illegal instruction
    case SIGFPE:
        return 0xC0000094u; // integer divide by zero
    case SIGABRT:
        return 0x40000015u; // fatal application exit
    default:
        return 0;
    }
}

bool installCrashSignalHandler(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (native.isEmpty() || std::size_t(native.size()) >= sizeof g_folder - 64)
        return false;
    std::memcpy(g_folder, native.constData(), std::size_t(native.size()));
    g_folder[native.size()] = '\0';

    const time_t now = ::time(nullptr);
    tm local {};
    if (::localtime_r(&now, &local))
        g_utcOffset = local.tm_gmtoff;
    // The first backtrace() loads the unwinder, which allocates: done here
    // so that the one at crash time does not.
    void* warm[2];
    ::backtrace(warm, 2);

    stack_t stack {};
    stack.ss_sp = g_stack;
    stack.ss_size = sizeof g_stack;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = &onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    bool ok = true;
    for (int sig : kSignals)
        ok = ::sigaction(sig, &action, nullptr) == 0 && ok;
    return ok;
}
