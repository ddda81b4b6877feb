// The message catalogue behind orvu_serv_print and the capture hook tests
// use to see what the standard error handler of the vector math reports.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "orvu_serv.h"

namespace {

// What a message takes after its number, in this order.
enum class Args { NameIndex, Name, IndexValue };

struct Message {
    int32_t number;
    Args args;
    const char* text;  // printf format taking the arguments in `args` order
};

// One line per message number. 735..741 head a report (the function name
// first); 742..753 are the value lines that follow it, one value each.
constexpr Message kCatalogue[] = {
    {735, Args::NameIndex, "orvu: %s: invalid argument at element %d\n"},
    {736, Args::Name, "orvu: %s: operation not permitted\n"},
    {737, Args::Name, "orvu: %s: argument outside the domain of the function\n"},
    {738, Args::Name, "orvu: %s: singularity, the function has a pole at the argument\n"},
    {739, Args::Name, "orvu: %s: overflow, the result is too large to represent\n"},
    {740, Args::Name, "orvu: %s: underflow, the result is too small to represent\n"},
    {741, Args::Name, "orvu: %s: unclassified error\n"},
    {742, Args::IndexValue, "    element %d: argument  %.17g\n"},
    {743, Args::IndexValue, "    element %d: result    %.17g\n"},
    {744, Args::IndexValue, "    element %d: argument  %.17g\n"},
    {745, Args::IndexValue, "    element %d: result 1  %.17g\n"},
    {746, Args::IndexValue, "    element %d: result 2  %.17g\n"},
    {747, Args::IndexValue, "    element %d: argument 1 %.17g\n"},
    {748, Args::IndexValue, "    element %d: argument 2 %.17g\n"},
    {749, Args::IndexValue, "    element %d: result    %.17g\n"},
    {750, Args::IndexValue, "    element %d: argument 1 %.17g\n"},
    {751, Args::IndexValue, "    element %d: argument 2 %.17g\n"},
    {752, Args::IndexValue, "    element %d: result 1  %.17g\n"},
    {753, Args::IndexValue, "    element %d: result 2  %.17g\n"},
};

const Message* find_message(int32_t number) {
    for (const Message& m : kCatalogue)
        if (m.number == number) return &m;
    return nullptr;
}

int32_t args_needed(Args a) { return a == Args::Name ? 1 : 2; }

// The installed sink; guarded so that a sink is never called after it was
// replaced, and so that sinks see one message at a time.
std::mutex g_sink_mutex;
orvu_print_sink g_sink = nullptr;
void* g_sink_user = nullptr;

}  // namespace

extern "C" {

int32_t orvu_serv_print(int32_t flag, int32_t msg, int32_t argc, ...) {
    (void)flag;  // always 1 from the library; there is only one destination
    const Message* m = find_message(msg);
    if (m == nullptr) return -1;
    // Reading more variadic arguments than the caller passed is undefined,
    // so a short argument list is refused before any va_arg.
    if (argc < args_needed(m->args)) return -2;

    OrvuPrintRecord rec{};
    rec.msg = msg;
    rec.argc = argc;
    va_list ap;
    va_start(ap, argc);
    if (m->args == Args::IndexValue) {
        rec.index = va_arg(ap, int);
        rec.value = va_arg(ap, double);
    } else {
        const char* name = va_arg(ap, const char*);
        if (name == nullptr) name = "";
        std::strncpy(rec.name, name, sizeof rec.name - 1);
        if (m->args == Args::NameIndex) rec.index = va_arg(ap, int);
    }
    va_end(ap);

    char line[256];
    int n = 0;
    switch (m->args) {
        case Args::NameIndex: n = std::snprintf(line, sizeof line, m->text, rec.name, rec.index); break;
        case Args::Name: n = std::snprintf(line, sizeof line, m->text, rec.name); break;
        case Args::IndexValue: n = std::snprintf(line, sizeof line, m->text, rec.index, rec.value); break;
    }

    std::lock_guard<std::mutex> lock(g_sink_mutex);
    if (g_sink != nullptr) {
        g_sink(&rec, g_sink_user);
    } else {
        std::fputs(line, stderr);
    }
    return n;
}

void orvu_serv_test_capture_print(orvu_print_sink sink, void* user) {
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    g_sink = sink;
    g_sink_user = user;
}

}  // extern "C"
