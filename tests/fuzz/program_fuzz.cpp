// Drives the whole program against the fake Windows with arbitrary input and
// checks what must hold for every run. Input: one byte of settings, then the
// command line up to the first NUL, then the dialog's answer (any bytes,
// NULs included, of any length): code page 1252 bytes, or UTF-16LE units
// after the marker FF FE.
//
// Settings byte: bit 0 the dialog answers (else it is cancelled); bits 1-2
// the memory granted (8 MiB, 1 MiB, 64 KiB, nothing); bit 3 path
// resolution fails; bits 4-5 what standard output is (console, redirected,
// missing, invalid); bit 6 standard error likewise redirected; bit 7 the
// console title is unreadable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>
#include "support/fake_os.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = "")
{
    std::fprintf(stderr, "broken: %s %s\n", what, detail.c_str());
    std::abort();
}

void Check(bool holds, const char* what, const std::string& detail = "")
{
    if (!holds) {
        Fail(what, detail);
    }
}

// The first parameter by the reader's rules, written again from its
// description: the blank separates, a double quote groups, nothing
// escapes, and the program's name comes first.
std::string FirstParam(const std::string& line)
{
    size_t at = 0;
    std::string token;
    for (int number = -1; number <= 0; number++) {
        while (at < line.size() && line[at] == ' ') {
            at++;
        }
        if (at == line.size()) {
            return "";
        }
        token.clear();
        if (line[at] == '"') {
            size_t close = line.find('"', at + 1);
            token = line.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
            at = close == std::string::npos ? line.size() : close + 1;
        } else {
            size_t blank = line.find(' ', at);
            token = line.substr(at, blank == std::string::npos ? std::string::npos : blank - at);
            at = blank == std::string::npos ? line.size() : blank + 1;
        }
    }
    return token;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

const Stream Kinds[4] = {Stream::Console, Stream::Redirected, Stream::Missing, Stream::Invalid};
// Plenty for any line the fuzzer makes in practice (the program asks for 64
// MiB; poisoning all of that on every run would slow the fuzzer tenfold),
// down to nothing at all.
const ptrdiff_t Limits[4] = {8 << 20, 1 << 20, 64 << 10, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    uint8_t settings = data[0];
    const char* rest = reinterpret_cast<const char*>(data + 1);
    size_t restSize = size - 1;
    const char* nul = static_cast<const char*>(std::memchr(rest, 0, restSize));
    std::string cmdline(rest, nul ? (size_t)(nul - rest) : restSize);
    std::string answer = nul ? std::string(nul + 1, rest + restSize) : std::string();

    ResetFake();
    Fake.CommandLine = cmdline;
    bool wide = answer.size() >= 2 && (unsigned char)answer[0] == 0xFF && (unsigned char)answer[1] == 0xFE;
    if ((settings & 1) && wide) {
        std::u16string units((answer.size() - 2) / 2, u'\0');
        std::memcpy(units.data(), answer.data() + 2, units.size() * 2);
        Fake.WideAnswer = units;
    } else if (settings & 1) {
        Fake.Answer = answer;
    }
    Fake.MemoryLimit = Limits[(settings >> 1) & 3];
    Fake.PathCallFails = settings & 8;
    Fake.Streams[1] = Kinds[(settings >> 4) & 3];
    Fake.Streams[2] = settings & 64 ? Stream::Redirected : Stream::Console;
    if (settings & 128) {
        Fake.ConsoleTitle.reset();
    }
    int32_t status = RunFake();

    std::string out = Written(OsStdOutput);
    std::string err = Written(OsStdError);
    int outWrites = 0;
    for (const FakeWrite& w : Fake.Writes) {
        outWrites += w.To == OsStdOutput && w.Done;
    }
    std::u16string given = Fake.WideAnswer ? *Fake.WideAnswer : Fake.Answer ? Widen1252(*Fake.Answer) : u"";
    bool chosen = (Fake.Answer || Fake.WideAnswer) && given.size() <= 20480 && !Fake.Requests.empty();
    std::string command = FirstParam(cmdline);

    Check(status == 0 || status == 1 || status == 255, "status", std::to_string(status));
    Check(Fake.Requests.size() <= 1, "dialog shown more than once");
    Check(outWrites <= 1, "more than one write to standard output");
    Check(out.empty() || (chosen && status == 0), "a line without a choice");
    Check(out.empty() || StartsWith(out, command), "the line does not start with the command string", out);
    // Never a name that is not the chosen file: every character after the
    // command string is one the dialog gave, or the line's own quotes,
    // blanks, separators and line end; no best fit, no "?" put in.
    if (!out.empty()) {
        std::vector<bool> gave(0x10000);
        // What the dialog left behind its answer (the initial name) counts
        // as given too: the buffer holds both.
        for (char16_t c : given + Widen1252(Fake.Requests.empty() ? "" : Fake.Requests[0].File)) {
            gave[c] = true;
        }
        for (char16_t c : u"\" \\\r\n") {
            gave[c] = true;
        }
        for (char16_t c : Widen1252(out.substr(command.size()))) {
            Check(gave[c], "a character that the dialog did not give", out);
        }
    }
    Check(status != 0 || !Fake.Requests.empty() || command.empty() || command == "/?",
          "success without a dialog or help");
    if (status == 255) {
        Check(out.empty(), "a line after a bad call");
        Check(err.empty() || StartsWith(err, "Invalid option: /") || StartsWith(err, "Invalid parameter: "),
              "an unknown message", err);
    }
    if (!err.empty()) {
        Check(err.back() == '\n', "a message without its LF");
        Check(out.empty(), "a message and a line in one run");
    }
    // The dialog always gets its fixed fields, whatever came in.
    for (const SeenRequest& q : Fake.Requests) {
        Check(q.StructSize == 76 && q.MaxFile == 20480 && q.FilterIndex == 1, "request record");
        Check(q.InitialDir.has_value(), "the folder goes as a text");
        Check((q.Flags & ~0x81204u) == 0 && (q.Flags & 0x4), "flags", std::to_string(q.Flags));
    }
    Check(!Fake.MemoryTaken || Fake.MemoryReleased || Fake.MemoryLimit == 0, "memory kept at exit");
    return 0;
}
