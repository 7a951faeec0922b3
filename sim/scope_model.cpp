// The virtual oscilloscope: its settings, what it reports of them, and the command
// interpreter. What a sample block holds is in waveforms.cpp. The settings text and
// the interpreter stay in one file, a little over 400 lines, because both read items
// by the same mnemonic rules (short and long forms, numeric suffixes).
#include "scope_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

namespace sim {

namespace {

std::string upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

std::string trim(const std::string &text)
{
    size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

// The short form of a mnemonic as it stands in the settings text: its upper-case
// letters and its digits ("CHANnel1" -> "CHAN1", "SCALe" -> "SCAL").
std::string shortForm(const std::string &mnemonic)
{
    std::string out;
    for (char c : mnemonic)
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            out += c;
    return out;
}

std::vector<std::string> splitOn(const std::string &text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(sep, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool parseNumber(const std::string &text, double *value)
{
    std::string t = trim(text);
    const char *b = t.data();
    const char *e = t.data() + t.size();
    if (b != e && *b == '+')
        ++b;
    auto [ptr, ec] = std::from_chars(b, e, *value);
    return ec == std::errc() && ptr == e && std::isfinite(*value);
}

// The settings text as SCPI reads it: each item's full path (short forms) to its
// value text. A path with a leading ':' is absolute; any other is relative to the
// node of the item before, so "WINDow:SCALe ...;DELay ..." names the window delay.
std::map<std::string, std::string> settingsValues(const std::string &text)
{
    std::map<std::string, std::string> values;
    std::vector<std::string> node;
    for (const std::string &rawItem : splitOn(text, ';')) {
        std::string item = rawItem;
        while (!item.empty() && (item.back() == '\n' || item.back() == '\r'))
            item.pop_back();
        size_t blank = item.find(' ');
        std::string name = item.substr(0, blank);
        std::string value = blank == std::string::npos ? "" : item.substr(blank + 1);
        bool absolute = !name.empty() && name[0] == ':';
        std::vector<std::string> path = absolute ? std::vector<std::string>{} : node;
        for (const std::string &part : splitOn(absolute ? name.substr(1) : name, ':'))
            if (!part.empty())
                path.push_back(shortForm(part));
        if (path.empty())
            continue;
        std::string key;
        for (const std::string &p : path)
            key += (key.empty() ? "" : ":") + p;
        values.emplace(key, value);
        node.assign(path.begin(), path.end() - 1);
    }
    return values;
}

// Does the upper-case command word match the mnemonic (short or long form)? A '#'
// at the end of the mnemonic asks for a numeric suffix, stored in *suffix.
bool matchWord(const std::string &word, const char *mnemonic, int *suffix = nullptr)
{
    std::string pattern = mnemonic;
    bool wantsSuffix = !pattern.empty() && pattern.back() == '#';
    if (wantsSuffix)
        pattern.pop_back();
    size_t digits = word.size();
    while (digits > 0 && word[digits - 1] >= '0' && word[digits - 1] <= '9')
        --digits;
    std::string stem = word.substr(0, digits);
    std::string number = word.substr(digits);
    if (wantsSuffix != !number.empty())
        return false;
    if (stem != shortForm(pattern) && stem != upper(pattern))
        return false;
    if (wantsSuffix && suffix != nullptr)
        *suffix = number.size() > 3 ? -1 : std::atoi(number.c_str());
    return true;
}

std::string errorText(int code)
{
    switch (code) {
    case 0: return "No error";
    case -104: return "Data type error";
    case -109: return "Missing parameter";
    case -113: return "Undefined header";
    case -222: return "Data out of range";
    default: return "Error";
    }
}

Reply textReply(const std::string &text, ReplyKind kind = ReplyKind::Query)
{
    Reply r;
    r.kind = kind;
    r.bytes.assign(text.begin(), text.end());
    return r;
}

} // namespace

std::string scopeNumber(double value, bool upperCase)
{
    if (value == 0)
        value = 0; // no "-0.000e+00"
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 3);
    std::string text(buf, ec == std::errc() ? end : buf);
    return upperCase ? upper(text) : text;
}

ScopeState scopeStateFor(const BenchOptions &opts)
{
    ScopeState s;
    s.channel[0].offset = -1.0;
    s.channel[0].scale = 0.5;
    s.channel[0].probe = 1;
    s.channel[1].offset = 0.5;
    s.channel[1].scale = 1.0;
    s.channel[1].probe = 0;
    s.wave[0] = opts.wave1;
    s.wave[1] = opts.wave2;
    if (!opts.settings)
        return s;

    s.verbatimSettings = opts.settings;
    auto values = settingsValues(*opts.settings);
    auto real = [&](const char *key, double *into) {
        auto it = values.find(key);
        double v;
        if (it != values.end() && parseNumber(it->second, &v))
            *into = v;
    };
    auto whole = [&](const char *key, int *into) {
        double v = *into;
        real(key, &v);
        if (std::fabs(v) < 1e9)
            *into = (int)v;
    };
    whole("DISP:WAV", &s.displayWaveform);
    for (int c = 0; c < 2; ++c) {
        std::string ch = c == 0 ? "CHAN1:" : "CHAN2:";
        whole((ch + "DISP").c_str(), &s.channel[c].display);
        whole((ch + "BWL").c_str(), &s.channel[c].bwLimit);
        whole((ch + "COUP").c_str(), &s.channel[c].coupling);
        whole((ch + "INV").c_str(), &s.channel[c].invert);
        real((ch + "OFFS").c_str(), &s.channel[c].offset);
        whole((ch + "PROB").c_str(), &s.channel[c].probe);
        real((ch + "SCAL").c_str(), &s.channel[c].scale);
    }
    whole("TIM:SWE", &s.sweep);
    real("TIM:SCAL", &s.timeScale);
    real("TIM:DEL", &s.timeDelay);
    real("TIM:WIND:SCAL", &s.windowScale);
    real("TIM:WIND:DEL", &s.windowDelay);
    real("TRIG:LEV", &s.triggerLevel);
    return s;
}

std::string scopeSettingsText(const ScopeState &s)
{
    auto lo = [](double v) { return scopeNumber(v, false); };
    auto up = [](double v) { return scopeNumber(v, true); };
    auto n = [](int v) { return std::to_string(v); };
    std::string t = ":DISPlay:WAVeform " + n(s.displayWaveform) + ";ACCumulate 0;CONTrast 15;GRATicule 1;";
    for (int c = 0; c < 2; ++c) {
        const ScopeState::Channel &ch = s.channel[c];
        t += ":CHANnel" + n(c + 1) + ":DISPlay " + n(ch.display) + ";BWLimit " + n(ch.bwLimit) + ";COUPling " +
             n(ch.coupling) + ";INVert " + n(ch.invert) + ";OFFSet " + lo(ch.offset) + ";PROBe " + n(ch.probe) +
             ";SCALe " + lo(ch.scale) + ";";
    }
    t += ":CHANnel1:MATH 0;:TIMebase:SWEep " + n(s.sweep) + ";SCALe " + lo(s.timeScale) + ";DELay " +
         lo(s.timeDelay) + ";WINDow:SCALe " + up(s.windowScale) + ";DELay " + up(s.windowDelay) + ";";
    t += ":ACQuire:MODe 0;AVERage 0;:TRIGger:TYPe 0;SOURce 0;MODe 1;SLOP 0;COUPle 1;REJect 0;NREJ 0;LEVel " +
         up(s.triggerLevel) + ";PULSe:MODe: 0;TIMe 0.000E+00;";
    t += ":VIDeo:TYPe 1;POLarity 0;FIELd 0;LINe 0;:CURSor:SOURce 1;XDISPlay 0;X1Position 60;X2Position 190;"
         "YDISPlay 0;Y1Position 40;Y2Position 160;:REF1:DISPlay 0;LOCate 50;:REF2:DISPlay 0;LOCate -50;:RUN";
    return t;
}

std::string scopeSettingsText(const BenchOptions &opts) { return scopeSettingsText(scopeStateFor(opts)); }

std::string scopeSettingsReply(const ScopeState &s)
{
    if (s.verbatimSettings)
        return *s.verbatimSettings;
    return scopeSettingsText(s) + "\n";
}

std::string scopeSettingsReply(const BenchOptions &opts) { return scopeSettingsReply(scopeStateFor(opts)); }

std::vector<int16_t> waveSamples(const BenchOptions &opts, int channel)
{
    return waveSamples(channel == 1 ? opts.wave1 : opts.wave2);
}

float sampleInterval(const ScopeState &s) { return (float)(s.timeScale / kSamplesPerDivision); }

float sampleInterval(const BenchOptions &opts) { return sampleInterval(scopeStateFor(opts)); }

std::vector<uint8_t> waveBlockFor(const ScopeState &s, int channel)
{
    return waveBlock(channel, sampleInterval(s), waveSamples(s.wave[channel == 1 ? 0 : 1]));
}

std::vector<uint8_t> waveBlockFor(const BenchOptions &opts, int channel)
{
    return waveBlockFor(scopeStateFor(opts), channel);
}

double triggerFrequency(const ScopeState &s)
{
    const WaveSpec &w = s.wave[0];
    if (w.kind == WaveKind::Zero || w.amplitude == 0)
        return 9.9e37; // nothing to trigger on: the instrument's "no value"
    return 1.0 / ((double)std::max(2, w.period) * (double)sampleInterval(s));
}

ScopeModel::ScopeModel(const BenchOptions &opts) : opts_(opts), initial_(scopeStateFor(opts)), state_(initial_) {}

std::vector<Step> ScopeModel::feed(const uint8_t *data, size_t size)
{
    std::vector<Step> steps;
    for (size_t i = 0; i < size; ++i) {
        char c = (char)data[i];
        if (c == '\n' && afterCr_) {
            afterCr_ = false; // "\r\n" ends one command
            continue;
        }
        afterCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            if (!pending_.empty())
                steps.push_back(interpret(pending_));
            pending_.clear();
        } else if (pending_.size() < 65536) {
            pending_ += c;
        }
    }
    return steps;
}

void ScopeModel::pushError(int code)
{
    if (errors_.size() < 10)
        errors_.push_back(code);
}

Step ScopeModel::interpret(const std::string &command)
{
    Step step;
    step.log.push_back(command);
    std::string text = trim(command);
    size_t blank = text.find_first_of(" \t");
    std::string header = upper(text.substr(0, blank));
    std::string arg = blank == std::string::npos ? "" : trim(text.substr(blank + 1));
    bool query = !header.empty() && header.back() == '?';
    if (query)
        header.pop_back();

    auto answer = [&](const std::string &t) { step.reply = textReply(t + "\n"); };
    auto unknown = [&]() {
        pushError(-113);
        step.notes.push_back("unknown command: " + command);
    };

    if (!header.empty() && header[0] == '*') {
        if (header == "*IDN" && query)
            answer(kScopeIdentity);
        else if (header == "*LRN" && query)
            step.reply = textReply(scopeSettingsReply(state_), ReplyKind::Block);
        else if (header == "*OPC" && query)
            answer("1");
        else if (header == "*RST" && !query)
            state_ = initial_;
        else if (header == "*CLS" && !query)
            errors_.clear();
        else
            unknown();
        return step;
    }

    std::vector<std::string> w = splitOn(header[0] == ':' ? header.substr(1) : header, ':');
    int n = 0;

    // settings that can be both set and queried
    double *real = nullptr;
    int *whole = nullptr;
    bool upperForm = false;
    if (w.size() == 2 && matchWord(w[0], "TIMebase")) {
        if (matchWord(w[1], "SCALe"))
            real = &state_.timeScale;
        else if (matchWord(w[1], "DELay"))
            real = &state_.timeDelay;
        else if (matchWord(w[1], "SWEep"))
            whole = &state_.sweep;
    } else if (w.size() == 3 && matchWord(w[0], "TIMebase") && matchWord(w[1], "WINDow")) {
        upperForm = true;
        if (matchWord(w[2], "SCALe"))
            real = &state_.windowScale;
        else if (matchWord(w[2], "DELay"))
            real = &state_.windowDelay;
    } else if (w.size() == 2 && matchWord(w[0], "CHANnel#", &n) && (n == 1 || n == 2)) {
        ScopeState::Channel &ch = state_.channel[n - 1];
        if (matchWord(w[1], "SCALe"))
            real = &ch.scale;
        else if (matchWord(w[1], "OFFSet"))
            real = &ch.offset;
        else if (matchWord(w[1], "PROBe"))
            whole = &ch.probe;
        else if (matchWord(w[1], "INVert"))
            whole = &ch.invert;
        else if (matchWord(w[1], "DISPlay"))
            whole = &ch.display;
        else if (matchWord(w[1], "COUPling"))
            whole = &ch.coupling;
        else if (matchWord(w[1], "BWLimit"))
            whole = &ch.bwLimit;
    } else if (w.size() == 2 && matchWord(w[0], "TRIGger") && matchWord(w[1], "LEVel")) {
        real = &state_.triggerLevel;
        upperForm = true;
    } else if (w.size() == 2 && matchWord(w[0], "DISPlay") && matchWord(w[1], "WAVeform")) {
        whole = &state_.displayWaveform;
    }

    if (real != nullptr || whole != nullptr) {
        if (query) {
            answer(real != nullptr ? scopeNumber(*real, upperForm) : std::to_string(*whole));
            return step;
        }
        double v = 0;
        if (arg.empty()) {
            pushError(-109);
        } else if (!parseNumber(arg, &v)) {
            pushError(-104);
        } else if (real != nullptr) {
            *real = v;
        } else if (std::fabs(v) < 1e9) {
            *whole = (int)v;
        } else {
            pushError(-222);
        }
        return step;
    }

    if (query && w.size() == 2 && matchWord(w[0], "ACQuire#", &n) && (n == 1 || n == 2) &&
        matchWord(w[1], "MEMory")) {
        Reply r;
        r.kind = ReplyKind::Block;
        r.bytes = waveBlockFor(state_, n);
        step.reply = r;
        step.endsJob = n == 2;
    } else if (query && (w.size() == 2 || w.size() == 3) && matchWord(w[0], "SYSTem") && matchWord(w[1], "ERRor") &&
               (w.size() == 2 || matchWord(w[2], "NEXT"))) {
        int code = 0;
        if (!errors_.empty()) {
            code = errors_.front();
            errors_.pop_front();
        }
        answer((code >= 0 ? "+" : "") + std::to_string(code) + ", " + errorText(code));
    } else if (query && w.size() == 2 && matchWord(w[0], "TRIGger") && matchWord(w[1], "FREQuency")) {
        answer(scopeNumber(triggerFrequency(state_), true));
    } else if (!query && w.size() == 1 &&
               (matchWord(w[0], "AUToscale") || matchWord(w[0], "SINGle") || matchWord(w[0], "RUN") ||
                matchWord(w[0], "STOP"))) {
        // accepted; the simulated acquisition is always complete
    } else {
        unknown();
    }
    return step;
}

} // namespace sim
