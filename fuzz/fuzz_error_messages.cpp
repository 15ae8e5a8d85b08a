// Fuzz target: message parameters, message composition and the report
// printer of the numerical library.
//
// The input is a little program of library calls: E1SETI and E1SETL with
// numbers inside and outside 1..9, E1MES with types -1..4 (types 5 to 7 and
// illegal types end the process, which a fuzzer cannot use) and any code,
// pushes and pops of routine names, and direct calls of the report printer.
// A pop that would end the process (a FATAL error popped to the user level)
// is first turned into a WARNING with E1MES(3, -1, " "), which keeps the
// pending text, so the report is still printed.
//
// Reports go to a unit opened on an unlinked temporary file; standard output
// is not touched.  After every call the harness checks the library against
// its own model of the documented behaviour:
// - the parameter list holds exactly the entries the setters should have
//   appended, never more than 300 characters;
// - a composed message is ".  " followed by the template with every set
//   placeholder replaced, never more than 1024 characters;
// - a report is printed exactly when one is due, and consists of a blank
//   line, the first line with type word, code and routine name, continuation
//   lines and (above level 2) a traceback; no line is longer than 78
//   characters, and the text pieces of the lines put back together with the
//   breaks they consumed (one or two blanks, or "%/") give the whole message:
//   nothing is lost;
// - after a report no message and no parameter is pending.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "numlib/error_report.h"
#include "numlib/error_state.h"
#include "numlib/numlib.h"
#include "textio/file_channel.h"

namespace {

using numlib::detail::ErrorState;

constexpr int report_unit = 97;
constexpr std::size_t longest_line = 78;
constexpr std::size_t message_limit = 1024;
constexpr std::size_t parameter_list_limit = 300;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "error message property violated: %s\n", what.c_str());
    std::abort();
}

void require(bool condition, const char* what) {
    if (!condition) fail(what);
}

// ---------------------------------------------------------------------------
// Input decoding

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t next = 0;

    bool done() const { return next >= size; }
    std::uint8_t byte() { return next < size ? data[next++] : 0; }
    std::int32_t int32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return static_cast<std::int32_t>(value);
    }
    // Up to `length` bytes, fewer when the input ends.  A line feed becomes
    // "|": printed inside a report line it would split the captured output
    // into lines that the checks could not tell from the records.
    std::string text(std::size_t length) {
        const std::size_t count = std::min(length, size - std::min(next, size));
        std::string result(reinterpret_cast<const char*>(data) + next, count);
        std::replace(result.begin(), result.end(), '\n', '|');
        next += count;
        return result;
    }
};

// ---------------------------------------------------------------------------
// The harness's model of the parameter list and the pending message

struct Entry {
    char key;
    char digit;
    std::string value;
};

struct Model {
    std::vector<Entry> entries;
    std::string list;     // the entries back to back, as the library stores them
    std::string message;  // the pending message text; empty when none
};

int list_end(const Model& model) { return model.list.empty() ? 1 : static_cast<int>(model.list.size()); }

void model_append(Model& model, char key, int number, std::string_view given, std::string_view stored) {
    if (list_end(model) + static_cast<int>(given.size()) + 8 > static_cast<int>(parameter_list_limit)) return;
    if (number < 1 || number > 9) return;
    const char digit = static_cast<char>('0' + number);
    model.entries.push_back({key, digit, std::string(stored)});
    model.list += '*';
    model.list += key;
    model.list += digit;
    model.list += '*';
    model.list += std::to_string(stored.size());
    model.list += '%';
    model.list += stored;
}

void model_clear_parameters(Model& model) {
    model.entries.clear();
    model.list.clear();
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool is_placeholder(std::string_view t) {
    return t[0] == '%' && t[1] == '(' && t[4] == ')' && t[3] >= '1' && t[3] <= '9' &&
           std::string_view("ACDIKLRSZ").find(upper(t[2])) != std::string_view::npos;
}

std::string model_compose(const Model& model, std::string_view message_template) {
    const std::string_view source = message_template.substr(0, std::min(message_template.size(), message_limit));
    std::string out = ".  ";
    std::size_t i = 0;
    while (i + 5 <= source.size()) {
        if (is_placeholder(source.substr(i, 5))) {
            const Entry* found = nullptr;
            for (const Entry& entry : model.entries) {
                if (entry.key == upper(source[i + 2]) && entry.digit == source[i + 3]) {
                    found = &entry;
                    break;
                }
            }
            if (found != nullptr && !found->value.empty() && out.size() < message_limit) {
                out += found->value.substr(0, message_limit - out.size());
                i += 5;
                if (out.size() == message_limit) return out;
                continue;
            }
        }
        out += source[i++];
        if (out.size() == message_limit) return out;
    }
    while (i < source.size() && out.size() < message_limit) out += source[i++];
    return out;
}

void check_state(const ErrorState& state, const Model& model) {
    require(state.parameter_list_end >= 1 && state.parameter_list_end <= static_cast<int>(parameter_list_limit),
            "parameter_list_end outside 1..300");
    require(state.parameter_list_end == list_end(model), "parameter_list_end differs from the entries appended");
    require(std::memcmp(state.parameter_list.data(), model.list.data(), model.list.size()) == 0,
            "the parameter list differs from the entries appended");
    require(state.message_length >= 0 && state.message_length <= static_cast<int>(message_limit),
            "message_length outside 0..1024");
    const std::string_view pending(state.message_text.data(), static_cast<std::size_t>(state.message_length));
    require(pending == model.message, "the pending message differs from the composed template");
    require(state.current_level >= 1 && state.current_level < state.max_level, "stack level out of range");
}

// ---------------------------------------------------------------------------
// Printed reports

struct ReportFile {
    textio::Channel* channel = nullptr;
};

ReportFile report_file;

// What the library wrote to the report unit since the last call.
std::string take_printed() {
    textio::Channel& channel = *report_file.channel;
    textio::flush_channel(channel);
    const off_t size = ::lseek(channel.fd, 0, SEEK_END);
    std::string printed(static_cast<std::size_t>(std::max<off_t>(size, 0)), '\0');
    if (size > 0 && ::pread(channel.fd, printed.data(), printed.size(), 0) != size) fail("cannot read the reports");
    if (::ftruncate(channel.fd, 0) != 0 || ::lseek(channel.fd, 0, SEEK_SET) != 0) fail("cannot reset the reports");
    return printed;
}

std::string displayed_name(const numlib::detail::RoutineName& stored) {
    std::string name(stored.data(), stored.size());
    if (name[0] >= 'a' && name[0] <= 'z' && name[1] >= 'A' && name[1] <= 'Z') name[0] = upper(name[0]);
    return name;
}

std::string type_word(int type) {
    static const std::array<const char*, 8> words = {"UNKNOWN ", "NOTE    ", "ALERT   ", "WARNING ",
                                                     "FATAL   ", "TERMINAL", "WARNING ", "FATAL   "};
    return type >= 1 && type <= 7 ? words[static_cast<std::size_t>(type)] : words[0];
}

struct DueReport {
    int level;
    int type;
    int code;
    std::string name;  // 32 characters, as displayed
    std::string message;
};

DueReport due_report(const ErrorState& state, const Model& model) {
    const int level = state.current_level;
    return {level, state.error_type[level], state.error_code[level], displayed_name(state.routine_name[level]),
            model.message};
}

// Checks that `printed` is exactly the report of `due`.
void check_report(const std::string& printed, const DueReport& due) {
    require(printed.size() >= 2 && printed.compare(printed.size() - 2, 2, "\r\n") == 0,
            "the report does not end with CR LF");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < printed.size()) {
        const std::size_t end = printed.find("\r\n", start);
        if (end == std::string::npos) fail("a report line without CR LF");
        lines.push_back(printed.substr(start, end - start));
        start = end + 2;
    }
    for (const std::string& line : lines) {
        require(line.size() <= longest_line, "a report line is longer than 78 characters");
    }
    require(lines.size() >= 2 && lines[0].empty(), "the report does not start with a blank line");

    const std::string name = due.name.substr(0, due.name.find(' '));
    const std::string first_prefix =
        " *** " + type_word(due.type) + " ERROR " + std::to_string(due.code) + " from " + name;
    require(lines[1].compare(0, first_prefix.size(), first_prefix) == 0, "the first line has the wrong header");

    std::vector<std::string> pieces{lines[1].substr(first_prefix.size())};
    std::size_t index = 2;
    const std::string continuation_prefix = std::string(" *** ") + std::string(9, ' ');
    while (index < lines.size() && lines[index].compare(0, 5, " *** ") == 0) {
        const std::string& line = lines[index++];
        if (line.size() == 5) {
            pieces.emplace_back();
        } else {
            require(line.compare(0, continuation_prefix.size(), continuation_prefix) == 0,
                    "a continuation line without its indent");
            pieces.push_back(line.substr(continuation_prefix.size()));
        }
    }

    // The pieces with the breaks between them must give the whole message.
    const std::string& message = due.message;
    std::set<std::size_t> reachable;
    if (message.compare(0, pieces[0].size(), pieces[0]) == 0) reachable.insert(pieces[0].size());
    for (std::size_t p = 1; p < pieces.size() && !reachable.empty(); ++p) {
        std::set<std::size_t> next;
        for (std::size_t position : reachable) {
            for (std::string_view gap : {"", " ", "  ", "%/"}) {
                if (message.compare(position, gap.size(), gap) != 0) continue;
                const std::size_t from = position + gap.size();
                if (from > message.size()) continue;
                if (message.compare(from, pieces[p].size(), pieces[p]) == 0) next.insert(from + pieces[p].size());
            }
        }
        reachable.swap(next);
    }
    if (reachable.count(message.size()) == 0) {
        std::fprintf(stderr, "message [%s]\nprinted [%s]\n", message.c_str(), printed.c_str());
        fail("the printed lines do not give back the whole message");
    }

    const std::size_t traceback_lines = due.level > 2 ? 3 + static_cast<std::size_t>(due.level) : 0;
    require(lines.size() - index == traceback_lines, "the traceback has the wrong number of lines");
    if (traceback_lines > 0) {
        require(lines[index] == "     Here is a traceback of subprogram calls in reverse order:",
                "wrong first traceback line");
    }
}

// ---------------------------------------------------------------------------

void run_program(Input& input) {
    ErrorState& state = numlib::detail::the_error_state;
    numlib::detail::initialise_error_state(state);
    Model model;
    take_printed();

    int operations = 0;
    while (!input.done() && ++operations <= 200) {
        const std::uint8_t operation = input.byte() % 7;
        switch (operation) {
            case 0: {
                const int number = input.byte() % 12 - 1;
                const std::int32_t value = (input.byte() & 1) ? input.int32() : static_cast<std::int8_t>(input.byte());
                E1SETI(number, value);
                const std::string text = std::to_string(value);
                model_append(model, 'I', number, text, text);
                break;
            }
            case 1: {
                const int number = input.byte() % 21 - 10;
                std::size_t length = input.byte();
                if (length >= 250) length = 250 + (length - 250) * 30;  // up to 400: beyond the cut at 255
                const std::string text = input.text(length);
                E1SETL(number, text);
                if (number != 0 && number >= -9 && number <= 9) {
                    const std::string given = text.substr(0, std::min<std::size_t>(text.size(), 255));
                    std::string stored = given;
                    if (number > 0) {
                        const std::size_t last = given.find_last_not_of(' ');
                        stored = last == std::string::npos ? std::string(" ") : given.substr(0, last + 1);
                    }
                    model_append(model, 'L', number < 0 ? -number : number, given, stored);
                }
                break;
            }
            case 2: {
                const int type = input.byte() % 6 - 1;
                const std::uint8_t code_form = input.byte();
                const std::int32_t code = (code_form & 1) ? input.int32() : static_cast<std::int8_t>(code_form) / 2;
                std::size_t length = input.byte();
                std::string message_template = input.text(length);
                if ((code_form & 6) == 6 && !message_template.empty()) {
                    // A long template made of the given bytes over and over.
                    const std::size_t target = 900 + static_cast<std::size_t>(input.byte()) * 4;
                    while (message_template.size() < target) message_template += message_template;
                    message_template.resize(target);
                }
                const bool discards = type == 0 || code == 0;
                const bool keeps_text = message_template.empty() || message_template == " ";
                const std::string composed = discards || keeps_text ? "" : model_compose(model, message_template);
                E1MES(type, code, message_template);
                if (discards)
                    model.message.clear();
                else if (!keeps_text)
                    model.message = composed;
                model_clear_parameters(model);
                require(state.parameter_list_end == 1, "E1MES left parameters behind");
                break;
            }
            case 3: {
                if (state.current_level >= state.max_level - 1) break;
                const std::string name = input.text(input.byte() % 40);
                E1PSH(name);
                break;
            }
            case 4: {
                const int level = state.current_level;
                if (level <= 1) break;
                if (state.error_type[level] == 4 && state.is_user_level[level - 1]) {
                    // A FATAL error popped to the user level ends the process.
                    E1MES(3, -1, " ");
                    model_clear_parameters(model);
                }
                const int type = state.error_type[level];
                const bool print_due = state.print_flag[type] == 1 && state.is_user_level[level - 1];
                const DueReport due = due_report(state, model);
                const numlib::detail::RoutineName& stored = state.routine_name[level];
                std::string name(stored.data(), stored.size());
                const std::uint8_t form = input.byte() % 3;
                if (form == 1) name.erase(name.find_last_not_of(' ') + 1);
                if (form == 2) name += "   ";
                E1POP(name);
                require(state.current_level == level - 1, "a pop did not lower the level");
                const std::string printed = take_printed();
                if (print_due && !due.message.empty()) {
                    check_report(printed, due);
                    model.message.clear();
                    model_clear_parameters(model);
                } else {
                    require(printed.empty(), "a pop printed a report that was not due");
                }
                break;
            }
            case 5: {
                const DueReport due = due_report(state, model);
                numlib::detail::print_error_report();
                const std::string printed = take_printed();
                if (due.message.empty()) {
                    require(printed.empty(), "a report was printed without a pending message");
                } else {
                    check_report(printed, due);
                    model.message.clear();
                    model_clear_parameters(model);
                }
                break;
            }
            case 6: {
                // The machine constants the decimal reader relies on.
                require(IMACH(5) == 2147483647, "IMACH(5) is not the largest integer");
                int unit = 0;
                UMACH(3, unit);
                require(unit == report_unit, "the message unit changed");
                break;
            }
        }
        check_state(state, model);
    }
    require(take_printed().empty(), "the library printed outside a due report");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char path[] = "/tmp/temp1d-fuzz-reports-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) fail("cannot create the report file");
    ::close(fd);
    report_file.channel = &textio::open_unit(report_unit, path);
    ::unlink(path);  // the open channel keeps the file; nothing is left behind
    int unit = report_unit;
    UMACH(-3, unit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input{data, size};
    run_program(input);
    return 0;
}
