// Test support for the zelto tests: runs the built zelto as a subprocess,
// gives each test a private temporary folder, builds small fixture plug-ins
// from source, and parses JSON strictly enough that malformed output fails.
// Header-only because every tests/tools/*.cpp is its own translation unit of
// one binary; keep everything here inline.
#pragma once

#include <ebur128.h>
#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

extern char** environ;

namespace zelto_test {

namespace fs = std::filesystem;

inline const char* kLspLimiter = "/usr/lib/vst/lsp-plugins/limiter-stereo.so";

inline bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/// A fresh folder under $TMPDIR, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "zelto-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    /// Names of everything in the folder, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    fs::path path_;
};

/// Whether process pid holds a temporary file open inside folder: a hidden
/// one, or an unnamed one (shown as "folder/#inode (deleted)").
inline bool writesInto(pid_t pid, const fs::path& folder) {
    std::error_code ec;
    const std::string prefix = folder.string() + "/";
    const std::string deleted = " (deleted)";
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (ec || target.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string name = target.substr(prefix.size());
        if (name.front() == '.' ||
            (name.size() > deleted.size() &&
             name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)) {
            return true;
        }
    }
    return false;
}

struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

/// Runs a program with arguments, stdout and stderr captured through files;
/// exitCode is 128 + signal number if it was killed. Standard input is
/// `stdinPath` when given (a file, or a terminal's device), else inherited.
inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& extraEnv = {},
                            const std::string& stdinPath = "") {
    TempDir capture;
    const std::string outPath = capture / "stdout", errPath = capture / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdinPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The tests choose their plug-in explicitly; an inherited override must
    // not redirect the default.
    // Variables in extraEnv replace inherited ones of the same name.
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> envStore;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        bool replaced = nameOf(entry) == "ZELTO_PLUGIN";
        for (const auto& x : extraEnv) replaced = replaced || nameOf(x) == nameOf(entry);
        if (!replaced) envStore.push_back(entry);
    }
    envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
    // The plug-in keeps settings per user: every run gets this test binary's
    // own folder unless the test chose one, so nothing lands in the home.
    static TempDir configHome;
    bool configChosen = false;
    for (const auto& x : extraEnv) configChosen = configChosen || nameOf(x) == "ZELTO_CONFIG_HOME";
    if (!configChosen) {
        std::erase_if(envStore,
                      [&](const std::string& e) { return nameOf(e) == "ZELTO_CONFIG_HOME"; });
        envStore.push_back("ZELTO_CONFIG_HOME=" + configHome.path().string());
    }
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = 0;
    RunResult r;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        throw std::runtime_error("cannot start " + program);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

inline RunResult runZelto(const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {},
                          const std::string& stdinPath = "") {
    return runProgram(ZELTO_TOOL_PATH, args, extraEnv, stdinPath);
}

/// Runs zelto with a third-party plug-in. Under AddressSanitizer, leaks
/// inside someone else's library (its static set-up, its threads) are not
/// ours to fix and would turn every exit code into 1, so leak checking is off
/// for these runs; the host's own leaks are caught by the runs with our
/// plug-in and the fixture.
inline RunResult runZeltoThirdParty(const std::vector<std::string>& args) {
    const char* inherited = std::getenv("ASAN_OPTIONS");
    std::string options = inherited ? std::string(inherited) + ":" : std::string();
    return runZelto(args, {"ASAN_OPTIONS=" + options + "detect_leaks=0"});
}

/// Builds tests/tools/fixtures/probe_plugin.cpp into a shared object with the
/// given -D flags, once per flag set and test run. Returns "" when no C++
/// compiler is available (the caller skips).
inline std::string fixturePlugin(const std::string& variant, const std::string& defines) {
    static TempDir dir;  // removed when the test binary exits
    static std::map<std::string, std::string> built;
    if (auto it = built.find(variant); it != built.end()) return it->second;
    const std::string out = dir / ("probe-" + variant + ".so");
    const std::string source =
        std::string(ZELTO_SOURCE_DIR) + "/tests/tools/fixtures/probe_plugin.cpp";
    std::vector<std::string> args{
        "-std=c++20",     "-O1", "-shared", "-fPIC", "-fvisibility=hidden", "-I",
        ZELTO_SOURCE_DIR, "-o",  out,       source};
    std::istringstream defs(defines);
    for (std::string d; defs >> d;) args.push_back(d);
    std::string compiler = "/usr/bin/c++";
    if (!fileExists(compiler)) return "";
    const RunResult r = runProgram(compiler, args);
    if (r.exitCode != 0) throw std::runtime_error("fixture build failed: " + r.err);
    built[variant] = out;
    return out;
}

// ---- audio files through libsndfile ----

struct Audio {
    int channels = 0;
    int rate = 0;
    int format = 0;               // SF_FORMAT_* as read back
    std::vector<double> samples;  // interleaved
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
    double at(size_t frame, int channel) const {
        return samples[frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
    }
};

/// Integrated loudness and true peak by libebur128 (BS.1770): the outside
/// meter zelto's own figures are checked against.
struct Bs1770 {
    double lufs = 0.0, truePeakDb = 0.0;
};

inline Bs1770 measureBs1770(const Audio& a) {
    ebur128_state* st =
        ebur128_init(static_cast<unsigned>(a.channels), static_cast<unsigned long>(a.rate),
                     EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_double(st, a.samples.data(), a.frames());
    Bs1770 m;
    ebur128_loudness_global(st, &m.lufs);
    double peak = 0.0;
    for (int c = 0; c < a.channels; ++c) {
        double p = 0.0;
        ebur128_true_peak(st, static_cast<unsigned>(c), &p);
        peak = std::max(peak, p);
    }
    ebur128_destroy(&st);
    m.truePeakDb = 20.0 * std::log10(peak);
    return m;
}

inline void writeAudio(const std::string& path, const Audio& a,
                       int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.channels = a.channels;
    info.samplerate = a.rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr)
        throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_double(f, a.samples.data(), static_cast<sf_count_t>(a.frames()));
    sf_close(f);
}

inline Audio readAudio(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    Audio a;
    a.channels = info.channels;
    a.rate = info.samplerate;
    a.format = info.format;
    a.samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_double(f, a.samples.data(), info.frames);
    sf_close(f);
    a.samples.resize(static_cast<size_t>(got) * static_cast<size_t>(info.channels));
    return a;
}

/// Deterministic programme material in [-amplitude, amplitude]: two
/// unrelated sines per channel so channels and frames are all distinct.
inline Audio testSignal(int channels, int rate, size_t frames, double amplitude) {
    Audio a{channels, rate, 0, {}};
    a.samples.resize(frames * static_cast<size_t>(channels));
    for (size_t n = 0; n < frames; ++n) {
        for (int c = 0; c < channels; ++c) {
            const double x = static_cast<double>(n);
            a.samples[n * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                amplitude * (0.6 * std::sin(0.013 * x * (c + 1)) + 0.4 * std::sin(0.171 * x + c));
        }
    }
    return a;
}

// ---- a strict JSON reader, enough to check zelto's reports ----

struct Json;
using JsonObject = std::map<std::string, Json>;
using JsonArray = std::vector<Json>;

struct Json {
    std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> v;
    bool isNull() const { return std::holds_alternative<std::nullptr_t>(v); }
    double num() const { return std::get<double>(v); }
    bool boolean() const { return std::get<bool>(v); }
    const std::string& str() const { return std::get<std::string>(v); }
    const JsonArray& arr() const { return std::get<JsonArray>(v); }
    const JsonObject& obj() const { return std::get<JsonObject>(v); }
    bool has(const std::string& key) const { return obj().count(key) != 0; }
    const Json& operator[](const std::string& key) const {
        auto it = obj().find(key);
        if (it == obj().end()) throw std::runtime_error("no key " + key);
        return it->second;
    }
    const Json& operator[](size_t i) const { return arr().at(i); }
};

class JsonParser {
  public:
    explicit JsonParser(const std::string& text) : s_(text) {}
    Json parse() {
        Json v = value();
        ws();
        if (i_ != s_.size()) fail("trailing text");
        return v;
    }

  private:
    [[noreturn]] void fail(const std::string& why) {
        throw std::runtime_error("JSON: " + why + " at offset " + std::to_string(i_));
    }
    void ws() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r'))
            ++i_;
    }
    bool lit(const char* word) {
        const std::string w(word);
        if (s_.compare(i_, w.size(), w) == 0) {
            i_ += w.size();
            return true;
        }
        return false;
    }
    Json value() {
        ws();
        if (i_ >= s_.size()) fail("unexpected end");
        const char c = s_[i_];
        if (c == '{') return object();
        if (c == '[') return array();
        if (c == '"') return Json{string()};
        if (lit("null")) return Json{nullptr};
        if (lit("true")) return Json{true};
        if (lit("false")) return Json{false};
        return Json{number()};
    }
    Json object() {
        JsonObject o;
        ++i_;
        ws();
        if (i_ < s_.size() && s_[i_] == '}') {
            ++i_;
            return Json{o};
        }
        for (;;) {
            ws();
            if (i_ >= s_.size() || s_[i_] != '"') fail("key expected");
            std::string k = string();
            ws();
            if (i_ >= s_.size() || s_[i_++] != ':') fail("':' expected");
            if (o.count(k)) fail("duplicate key " + k);
            o[k] = value();
            ws();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            if (i_ < s_.size() && s_[i_] == '}') {
                ++i_;
                return Json{o};
            }
            fail("',' or '}' expected");
        }
    }
    Json array() {
        JsonArray a;
        ++i_;
        ws();
        if (i_ < s_.size() && s_[i_] == ']') {
            ++i_;
            return Json{a};
        }
        for (;;) {
            a.push_back(value());
            ws();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            if (i_ < s_.size() && s_[i_] == ']') {
                ++i_;
                return Json{a};
            }
            fail("',' or ']' expected");
        }
    }
    std::string string() {
        std::string out;
        ++i_;
        while (i_ < s_.size() && s_[i_] != '"') {
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c < 0x20) fail("raw control character in string");
            if (c == '\\') {
                if (++i_ >= s_.size()) fail("bad escape");
                const char e = s_[i_];
                switch (e) {
                    case '"':
                        out += '"';
                        break;
                    case '\\':
                        out += '\\';
                        break;
                    case '/':
                        out += '/';
                        break;
                    case 'n':
                        out += '\n';
                        break;
                    case 't':
                        out += '\t';
                        break;
                    case 'r':
                        out += '\r';
                        break;
                    case 'b':
                        out += '\b';
                        break;
                    case 'f':
                        out += '\f';
                        break;
                    case 'u': {
                        if (i_ + 4 >= s_.size()) fail("bad \\u");
                        const unsigned cp = std::stoul(s_.substr(i_ + 1, 4), nullptr, 16);
                        if (cp < 0x80)
                            out += static_cast<char>(cp);
                        else
                            out += '?';
                        i_ += 4;
                        break;
                    }
                    default:
                        fail("bad escape");
                }
                ++i_;
            } else {
                out += static_cast<char>(c);
                ++i_;
            }
        }
        if (i_ >= s_.size()) fail("unterminated string");
        ++i_;
        return out;
    }
    double number() {
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        while (i_ < s_.size() &&
               (isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' || s_[i_] == 'e' ||
                s_[i_] == 'E' || s_[i_] == '+' || s_[i_] == '-')) {
            ++i_;
        }
        if (start == i_) fail("value expected");
        size_t used = 0;
        const double d = std::stod(s_.substr(start, i_ - start), &used);
        if (used != i_ - start) fail("bad number");
        return d;
    }
    const std::string& s_;
    size_t i_ = 0;
};

inline Json parseJson(const std::string& text) {
    return JsonParser(text).parse();
}

}  // namespace zelto_test
