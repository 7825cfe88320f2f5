// Drives the whole program against the fake Windows with arbitrary input and
// checks what must hold for every run. Input: three bytes of settings, then
// the command line up to the first NUL, then the dialog's answer (any
// bytes, NULs included, of any length): code page 1252 bytes, or UTF-16LE
// units after the marker FF FE.
//
// First settings byte: bit 0 the dialog answers (else it is cancelled);
// bits 1-2 the memory that may be committed (8 MiB, 1 MiB, 64 KiB,
// nothing); bit 3 path resolution fails; bits 4-5 what standard output is
// (console, redirected, missing, invalid); bit 6 standard error likewise
// redirected; bit 7 the console title is unreadable.
//
// Second settings byte: bits 0-1 the ANSI code page (1252, 932, 65001,
// 1252); bits 2-3 the console's (850, none, 65001, 932); bit 4 every path
// of the answer has an 8.3 alias, bit 5 only every other name has; bit 6
// the UTF-16 command line is the line's bytes read as UTF-8, so that it can
// hold what the ANSI one cannot; bit 7 the dialog fails, or, where it would
// be cancelled, the window station is not visible.
//
// Third settings byte: bit 0 the system has no common item dialog, so the
// classic one answers (and there is no folder picker); bit 1 the item
// dialog's choice lies outside the file system.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
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

const char OutOfMemory[] = "Not enough memory\n";

const Stream Kinds[4] = {Stream::Console, Stream::Redirected, Stream::Missing, Stream::Invalid};
// Plenty for any line the fuzzer makes in practice, down to nothing at all.
const ptrdiff_t Limits[4] = {8 << 20, 1 << 20, 64 << 10, 0};
const uint32_t AnsiPages[4] = {1252, 932, 65001, 1252};
const uint32_t ConsolePages[4] = {850, 0, 65001, 932};

bool IsSeparator(char16_t c)
{
    return c == u'\\' || c == u'/';
}

// The fake file system's alias of one component: itself when it is plain
// ASCII, else a made-up 8.3 name drawn from it.
std::u16string AliasOf(const std::u16string& component)
{
    uint32_t hash = 2166136261u;
    bool plain = true;
    for (char16_t c : component) {
        plain = plain && c >= 0x20 && c < 0x7F;
        hash = (hash ^ c) * 16777619u;
    }
    if (plain) {
        return component;
    }
    std::u16string alias = u"X";
    for (int i = 0; i < 4; i++, hash >>= 4) {
        alias += u"0123456789ABCDEF"[hash & 15];
    }
    return alias + u"~1";
}

// A path's components and the separators between them.
std::vector<std::pair<std::u16string, char16_t>> Components(const std::u16string& path)
{
    std::vector<std::pair<std::u16string, char16_t>> parts(1);
    for (char16_t c : path) {
        if (IsSeparator(c)) {
            parts.back().second = c;
            parts.emplace_back();
        } else {
            parts.back().first += c;
        }
    }
    return parts;
}

std::u16string AliasPath(const std::u16string& path)
{
    std::u16string alias;
    for (const auto& [component, separator] : Components(path)) {
        alias += AliasOf(component);
        if (separator) {
            alias += separator;
        }
    }
    return alias;
}

// `text` in `codePage`, if it reads back as the very same units.
std::optional<std::string> Exactly(uint32_t codePage, const std::u16string& text)
{
    std::string bytes = FakeNarrow(codePage, text);
    return FakeWiden(codePage, bytes) == text ? std::optional<std::string>(bytes) : std::nullopt;
}

// Whether the fake file system has an alias for `path`: every path, every
// other one (by its name), or none, as the settings say. A folder has one
// whether or not its last separator is given.
bool HasAlias(uint8_t more, std::u16string path)
{
    while (!path.empty() && IsSeparator(path.back())) {
        path.pop_back();
    }
    return (more & 16) || ((more & 32) && AliasOf(path + u"#").back() % 2);
}

// The one form a chosen name (`folder`, which ends in its separator, then
// `name`) may take on the line: each component in the code page where it
// holds it exactly, else its alias where the file system has one; nothing
// when some component has neither. The folder's alias and the name's are
// asked apart.
std::optional<std::string> LineForm(uint32_t codePage, const std::u16string& folder, const std::u16string& name,
                                    uint8_t more)
{
    size_t folderParts = 0;
    for (char16_t c : folder) {
        folderParts += IsSeparator(c);
    }
    std::vector<std::pair<std::u16string, char16_t>> parts = Components(folder + name);
    std::string form;
    for (size_t i = 0; i < parts.size(); i++) {
        const auto& [component, separator] = parts[i];
        std::optional<std::string> part = Exactly(codePage, component);
        if (!part && HasAlias(more, i < folderParts ? folder : folder + name)) {
            part = Exactly(codePage, AliasOf(component));
        }
        if (!part) {
            return std::nullopt;
        }
        form += *part;
        if (separator) {
            form += (char)separator;
        }
    }
    return form;
}

// The item dialog's choice as the program must lay it out: the same full
// names, each after the first one's folder when all lie in it or below it,
// else each whole.
std::vector<std::pair<std::u16string, std::u16string>> ItemNames(
    const std::vector<std::pair<std::u16string, std::u16string>>& chosen)
{
    if (chosen.empty()) {
        return chosen;
    }
    std::u16string first = chosen[0].first + chosen[0].second;
    size_t cut = first.size();
    while (cut > 0 && !IsSeparator(first[cut - 1])) {
        cut--;
    }
    std::u16string folder = first.substr(0, cut);
    bool below = true;
    for (const auto& [at, name] : chosen) {
        below = below && (at + name).compare(0, cut, folder) == 0;
    }
    std::vector<std::pair<std::u16string, std::u16string>> names;
    for (const auto& [at, name] : chosen) {
        std::u16string path = at + name;
        names.push_back(below ? std::make_pair(folder, path.substr(cut)) : std::make_pair(std::u16string(), path));
    }
    return names;
}

// The full names in what the dialog left in its buffer, decoded again from
// its description: a single full path, split at its last separator, or a
// folder and names after it. Each as its folder with a separator, and its
// name.
std::vector<std::pair<std::u16string, std::u16string>> ChosenNames(const std::u16string& buffer, bool multiple)
{
    std::vector<std::u16string> texts;
    size_t at = 0;
    while (at < buffer.size()) {
        size_t nul = buffer.find(u'\0', at);
        if (nul == std::u16string::npos || (nul == at && !texts.empty())) {
            break;
        }
        texts.push_back(buffer.substr(at, nul - at));
        at = nul + 1;
        if (!multiple) {
            break;
        }
    }
    std::vector<std::pair<std::u16string, std::u16string>> names;
    if (texts.size() == 1) {
        size_t cut = texts[0].size();
        while (cut > 0 && !IsSeparator(texts[0][cut - 1])) {
            cut--;
        }
        names.push_back({texts[0].substr(0, cut), texts[0].substr(cut)});
    }
    std::u16string folder = texts.empty() ? u"" : texts[0];
    if (folder.empty() || folder.back() != u'\\') {
        folder += u'\\';
    }
    for (size_t i = 1; i < texts.size(); i++) {
        names.push_back({folder, texts[i]});
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    uint8_t settings = data[0];
    uint8_t more = data[1];
    bool classic = data[2] & 1;
    const char* rest = reinterpret_cast<const char*>(data + 3);
    size_t restSize = size - 3;
    const char* nul = static_cast<const char*>(std::memchr(rest, 0, restSize));
    std::string cmdline(rest, nul ? (size_t)(nul - rest) : restSize);
    std::string answer = nul ? std::string(nul + 1, rest + restSize) : std::string();

    ResetFake();
    Fake.CommandLine = cmdline;
    Fake.AnsiCodePage = AnsiPages[more & 3];
    Fake.ConsoleCodePage = ConsolePages[(more >> 2) & 3];
    if (more & 64) {
        Fake.WideCommandLine = FakeWiden(65001, cmdline);
    }
    bool wide = answer.size() >= 2 && (unsigned char)answer[0] == 0xFF && (unsigned char)answer[1] == 0xFE;
    if ((settings & 1) && wide) {
        std::u16string units((answer.size() - 2) / 2, u'\0');
        std::memcpy(units.data(), answer.data() + 2, units.size() * 2);
        Fake.WideAnswer = units;
    } else if (settings & 1) {
        Fake.Answer = answer;
    }
    std::u16string given = Fake.WideAnswer ? *Fake.WideAnswer : Fake.Answer ? Widen1252(*Fake.Answer) : u"";
    Fake.ShortPathRule = [more](const std::u16string& path) {
        return HasAlias(more, path) ? std::optional<std::u16string>(AliasPath(path)) : std::nullopt;
    };
    Fake.MemoryLimit = Limits[(settings >> 1) & 3];
    // Sanitizers clear the shadow of a whole reservation when it goes back:
    // a smaller one keeps the fuzzer fast, and has the program settle for
    // less address space on the way.
    Fake.AddressSpace = 16 << 20;
    Fake.PathCallFails = settings & 8;
    Fake.Streams[1] = Kinds[(settings >> 4) & 3];
    Fake.Streams[2] = settings & 64 ? Stream::Redirected : Stream::Console;
    if (settings & 128) {
        Fake.ConsoleTitle.reset();
    }
    if (more & 128) {
        Fake.DialogError = 0x80004005;  // E_FAIL
        Fake.Desktop = settings & 1 ? OsDesktopVisible : OsDesktopHidden;
    }
    Fake.NoItemDialog = classic;
    Fake.NoFileSystemPath = data[2] & 2;
    int32_t status = RunFake();

    std::string out = Written(OsStdOutput);
    std::string err = Written(OsStdError);
    int outWrites = 0;
    for (const FakeWrite& w : Fake.Writes) {
        outWrites += w.To == OsStdOutput && w.Done;
    }
    // Only the classic dialog's buffer bounds a choice; the item dialog's
    // choice outside the file system is none.
    bool chosen = (Fake.Answer || Fake.WideAnswer) && (!classic || given.size() <= 20480) &&
                  !Fake.Requests.empty() && !Fake.DialogError && (classic || !Fake.NoFileSystemPath);
    std::string command = FirstParam(cmdline);

    Check(status == 0 || status == 1 || status == 255, "status", std::to_string(status));
    Check(Fake.Requests.size() <= 1, "dialog shown more than once");
    Check(outWrites <= 1, "more than one write to standard output");
    Check(out.empty() || (chosen && status == 0), "a line without a choice");
    // Never a name that is not the chosen file: the line is the command
    // string and every chosen name (or such a line for each name), each
    // exactly in the line's code page or by its alias, quoted or not, with
    // or without its line end; nothing else, no best fit, no "?" put in.
    // The code page, the command string and the options are not known here,
    // so any of their possible values will do; the names are what is
    // checked.
    if (!out.empty()) {
        const SeenRequest& q = Fake.Requests[0];
        // What the classic dialog left behind its answer (the initial name)
        // counts as part of the buffer: the dialog writes over it.
        std::u16string buffer = given;
        if (classic && q.WideFile.size() > buffer.size()) {
            buffer += q.WideFile.substr(buffer.size());
        }
        buffer += std::u16string(2, u'\0');  // the rest of the buffer is zero
        std::vector<std::pair<std::u16string, std::u16string>> names = ChosenNames(buffer, q.Flags & 0x200);
        if (!classic) {
            names = ItemNames(names);
        }
        uint32_t console = Fake.ConsoleCodePage ? Fake.ConsoleCodePage : Fake.AnsiCodePage;
        std::u16string wideCommand = Fake.WideCommandLine ? *Fake.WideCommandLine : u"";
        bool matched = false;
        for (uint32_t codePage : {Fake.AnsiCodePage, 65001u, console}) {
            std::vector<std::string> commands = {FirstParam(cmdline)};
            if (Fake.WideCommandLine) {
                std::u16string first = FakeWiden(65001, FirstParam(FakeNarrow(65001, wideCommand)));
                commands.push_back(FakeNarrow(codePage, first));
            }
            std::vector<std::string> forms;
            bool writable = !names.empty();
            for (size_t i = 0; i < names.size() && writable; i++) {
                std::optional<std::string> form = LineForm(codePage, names[i].first, names[i].second, more);
                writable = form.has_value();
                forms.push_back(form.value_or(""));
            }
            for (const std::string& command : commands) {
                std::string start = command;
                if (!command.empty() && command.back() != '=') {
                    start += ' ';
                }
                // All names on one line, or one line each with only the
                // last one left open by /nocrlf.
                for (bool perName : {false, true}) {
                    for (const char* quote : {"\"", ""}) {
                        std::string line = start;
                        for (size_t i = 0; i < forms.size(); i++) {
                            if (i) {
                                line += perName ? "\r\n" + start : " ";
                            }
                            line += quote + forms[i] + quote;
                        }
                        matched = matched || (writable && (out == line || out == line + "\r\n"));
                    }
                }
            }
        }
        Check(matched, "a line that is not the chosen names", out);
    }
    // Help is decided on the UTF-16 line's first parameter as it is: a
    // character that only the ANSI code page would make "?" asks for none.
    std::string wideCommand = Fake.WideCommandLine ? FirstParam(FakeNarrow(65001, *Fake.WideCommandLine)) : command;
    bool help = wideCommand.empty() || wideCommand == "/?";
    Check(status != 0 || !Fake.Requests.empty() || help, "success without a dialog or help");
    // A failure, and a run that nobody can see, are said, never taken for
    // a cancel.
    const std::string failed = "The dialog failed: error 0x80004005\n";
    const std::string noDesktop = "No desktop to show the dialog on\n";
    Check(Fake.Desktop != OsDesktopHidden || Fake.Requests.empty(), "a dialog that nobody can see");
    Check(!Fake.DialogError || Fake.Requests.empty() || err == failed || err == OutOfMemory,
          "a failure taken for a cancel", err);
    Check(Fake.Desktop != OsDesktopHidden || status != 1 || err == noDesktop || err == OutOfMemory,
          "no word without a desktop", err);
    if (status == 255) {
        Check(out.empty(), "a line after a bad call");
        Check(StartsWith(err, "Invalid option: /") || StartsWith(err, "Invalid parameter: ") ||
                  err == "Only one of /multiselect, /save, /folder\n" || err == OutOfMemory,
              "an unknown message", err);
    }
    if (status == 1) {
        Check(err.empty() || StartsWith(err, "Name not in ") || StartsWith(err, "Selection too long: ") ||
                  StartsWith(err, "Not a file of the file system: ") ||
                  StartsWith(err, "Not a folder of the file system: ") ||
                  err == "No folder picker on this system\n" || err == failed || err == noDesktop ||
                  err == OutOfMemory,
              "an unknown message", err);
    }
    if (!err.empty()) {
        Check(err.back() == '\n', "a message without its LF");
        Check(out.empty(), "a message and a line in one run");
    }
    // The dialog always gets its fixed fields, whatever came in.
    for (const SeenRequest& q : Fake.Requests) {
        bool file = q.Call != "folder";
        bool types = q.Filter.size() > 1;
        Check(q.Item != classic, "the item dialog wherever it can be made");
        Check(classic ? q.StructSize == 76u && q.MaxFile == 20480 && q.FilterIndex == 1u
                      : q.StructSize == 0u && q.MaxFile == 0u && q.FilterIndex == (types ? 1u : 0u),
              "request record");
        Check(q.InitialDir.has_value(), "the folder goes as a text");
        bool save = q.Call == "save";
        // The save dialog asks for a folder that exists and a file that is
        // not read-only. The item dialog never changes the current folder,
        // and takes only file-system items; its options never carry the
        // classic dialog's own flags, whose bits mean other things to it.
        Check(q.Call == "folder"      ? q.Flags == 0x1868
              : classic               ? (q.Flags & ~0x89A06u) == 0 && (q.Flags & 0x4) &&
                                            (save ? (q.Flags & 0x8802) == 0x8802 : !(q.Flags & 0x8802))
                                      : (q.Flags & ~0x9A4Au) == 0 && (q.Flags & 0x48) == 0x48 &&
                                            (save ? (q.Flags & 0x880A) == 0x880A : !(q.Flags & 0x8002)),
              "flags", std::to_string(q.Flags));
        Check(save || !q.DefExt, "a default extension to open with");
    }
    Check(!Fake.MemoryTaken || Fake.MemoryReleased, "memory kept at exit");
    return 0;
}
