#include "devsim/SimulatorConfig.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

namespace lm::sim {

namespace {

using nlohmann::json;

// Carries the first complaint out of the nested readers.
struct Problem {
    std::string text;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw Problem{where + ": " + what};
}

void checkKeys(const json& object, const std::string& where, const std::set<std::string>& known) {
    if (!object.is_object()) fail(where, "expected an object");
    for (const auto& [key, value] : object.items())
        if (!known.contains(key)) fail(where, "unknown key \"" + key + "\"");
}

std::string text(const json& value, const std::string& where) {
    if (!value.is_string()) fail(where, "expected a string");
    return value.get<std::string>();
}

uint16_t port(const json& value, const std::string& where) {
    if (!value.is_number_unsigned() || value.get<uint64_t>() > 65535) fail(where, "expected a port 0..65535");
    return static_cast<uint16_t>(value.get<uint64_t>());
}

Ipv4 address(const json& value, const std::string& where) {
    const auto parsed = parseIpv4(text(value, where));
    if (!parsed) fail(where, "expected a dotted IPv4 address");
    return *parsed;
}

// A string, or an array of byte values for replies that are not valid text.
std::string replyBytes(const json& value, const std::string& where) {
    std::string bytes;
    if (value.is_string()) {
        bytes = value.get<std::string>();
    } else if (value.is_array()) {
        for (const json& b : value) {
            if (!b.is_number_unsigned() || b.get<uint64_t>() > 255) fail(where, "expected bytes 0..255");
            bytes.push_back(static_cast<char>(b.get<uint64_t>()));
        }
    } else {
        fail(where, "expected null, a string or an array of bytes");
    }
    if (bytes.size() > DeviceConfig::kMaxReplyBytes)
        fail(where, "longer than one datagram (" + std::to_string(DeviceConfig::kMaxReplyBytes) + " bytes)");
    return bytes;
}

HttpBehaviour http(const json& object, const std::string& where) {
    checkKeys(object, where, {"fault", "image"});
    HttpBehaviour behaviour;
    if (object.contains("fault")) {
        const auto fault = faultFromName(text(object["fault"], where + ".fault"));
        if (!fault) fail(where + ".fault", "expected one of " + faultNameList());
        behaviour.fault = *fault;
    }
    if (object.contains("image")) {
        const json& size = object["image"];
        auto side = [&](const json& v) {
            return v.is_number_unsigned() && v.get<uint64_t>() >= 1 &&
                   v.get<uint64_t>() <= DeviceConfig::kMaxImageSide;
        };
        if (!size.is_array() || size.size() != 2 || !side(size[0]) || !side(size[1]))
            fail(where + ".image",
                 "expected [width, height], each 1.." + std::to_string(DeviceConfig::kMaxImageSide));
        behaviour.width = size[0].get<unsigned>();
        behaviour.height = size[1].get<unsigned>();
    }
    return behaviour;
}

bool flag(const json& value, const std::string& where) {
    if (!value.is_boolean()) fail(where, "expected true or false");
    return value.get<bool>();
}

// A short single-line text: a password, a host name.
std::string shortText(const json& value, const std::string& where) {
    std::string t = text(value, where);
    if (t.size() > ShellBehaviour::kMaxTextBytes || t.find_first_of("\r\n") != std::string::npos)
        fail(where,
             "expected one line of at most " + std::to_string(ShellBehaviour::kMaxTextBytes) + " bytes");
    return t;
}

uint16_t block(const json& value, const std::string& where) {
    if (!value.is_number_unsigned() || value.get<uint64_t>() < 1 || value.get<uint64_t>() > 65535)
        fail(where, "expected a block number 1..65535");
    return static_cast<uint16_t>(value.get<uint64_t>());
}

// {"/etc/config/boa.conf": "Port 80\n", ...}: absolute paths to texts.
std::map<std::string, std::string> textMap(const json& object, const std::string& where, bool paths) {
    if (!object.is_object()) fail(where, "expected an object of texts");
    std::map<std::string, std::string> texts;
    for (const auto& [key, value] : object.items()) {
        const std::string place = where + "[\"" + key + "\"]";
        if (paths && (!key.starts_with("/") || key.ends_with("/") || key.find("//") != std::string::npos ||
                      key.find("/../") != std::string::npos || key.find("/./") != std::string::npos))
            fail(place, "expected an absolute file path");
        if (!paths && (key.empty() || key.size() > 1024)) fail(place, "expected a command line");
        std::string content = text(value, place);
        if (content.size() > ShellBehaviour::kMaxFileBytes)
            fail(place, "longer than " + std::to_string(ShellBehaviour::kMaxFileBytes) + " bytes");
        texts.emplace(key, std::move(content));
    }
    return texts;
}

ShellFaults faults(const json& object, const std::string& where) {
    checkKeys(
        object, where,
        {"silent", "slowOutput", "refusePassword", "configClearDenied", "lostAck", "repeatAck", "ackDelay"});
    ShellFaults f;
    if (object.contains("silent")) f.silent = flag(object["silent"], where + ".silent");
    if (object.contains("slowOutput")) f.slowOutput = flag(object["slowOutput"], where + ".slowOutput");
    if (object.contains("refusePassword"))
        f.refusePassword = flag(object["refusePassword"], where + ".refusePassword");
    if (object.contains("configClearDenied"))
        f.configClearDenied = flag(object["configClearDenied"], where + ".configClearDenied");
    if (object.contains("lostAck")) f.lostAck = block(object["lostAck"], where + ".lostAck");
    if (object.contains("repeatAck")) f.repeatAck = block(object["repeatAck"], where + ".repeatAck");
    if (object.contains("ackDelay")) f.ackDelayMs = block(object["ackDelay"], where + ".ackDelay");
    return f;
}

double number(const json& value, const std::string& where, double low, double high) {
    if (!value.is_number() || value.get<double>() < low || value.get<double>() > high)
        fail(where, "expected a number " + json(low).dump() + ".." + json(high).dump());
    return value.get<double>();
}

unsigned count(const json& value, const std::string& where) {
    return static_cast<unsigned>(number(value, where, 0, 4294967295.0));
}

// {"uptime": 3600, "temperature": 52.5, "busDevices": {"0.1": 0, "0.79": 2}, ...}
ActivityBehaviour activity(const json& object, const std::string& where) {
    checkKeys(object, where,
              {"uptime", "temperature", "unsteadyTemperature", "processVersion", "exposure", "errors",
               "frames", "pid", "watchdogReply", "busDevices"});
    ActivityBehaviour a;
    if (object.contains("uptime")) a.uptime = number(object["uptime"], where + ".uptime", 0, 4e9);
    if (object.contains("temperature"))
        a.temperature = number(object["temperature"], where + ".temperature", -128, 127.5);
    if (object.contains("unsteadyTemperature"))
        a.unsteadyTemperature = flag(object["unsteadyTemperature"], where + ".unsteadyTemperature");
    if (object.contains("processVersion"))
        a.processVersion = shortText(object["processVersion"], where + ".processVersion");
    if (object.contains("exposure")) a.exposure = count(object["exposure"], where + ".exposure");
    if (object.contains("errors")) a.errors = count(object["errors"], where + ".errors");
    if (object.contains("frames"))
        a.frames = static_cast<uint64_t>(number(object["frames"], where + ".frames", 0, 1e15));
    if (object.contains("pid")) a.pid = count(object["pid"], where + ".pid");
    if (object.contains("watchdogReply"))
        a.watchdogReply = shortText(object["watchdogReply"], where + ".watchdogReply");
    if (object.contains("busDevices")) {
        const json& bus = object["busDevices"];
        if (!bus.is_object()) fail(where + ".busDevices", "expected an object of addresses and error counts");
        a.busDevices.clear();
        for (const auto& [address, errors] : bus.items()) {
            if (address.empty() || address.size() > 16)
                fail(where + ".busDevices", "expected addresses like \"0.79\"");
            a.busDevices[address] = count(errors, where + ".busDevices[\"" + address + "\"]");
        }
    }
    return a;
}

void shell(const json& object, const std::string& where, ShellBehaviour& s) {
    if (object.contains("password")) s.password = shortText(object["password"], where + ".password");
    if (object.contains("prompt")) {
        s.prompt = text(object["prompt"], where + ".prompt");
        if (s.prompt != "> " && s.prompt != "# ") fail(where + ".prompt", "expected \"> \" or \"# \"");
    }
    if (object.contains("hostname")) s.hostname = shortText(object["hostname"], where + ".hostname");
    if (object.contains("configDepend"))
        s.configDepend = flag(object["configDepend"], where + ".configDepend");
    if (object.contains("serial")) s.serial = flag(object["serial"], where + ".serial");
    if (object.contains("consoleInEditor"))
        s.consoleInEditor = flag(object["consoleInEditor"], where + ".consoleInEditor");
    if (object.contains("rebootDelayMs")) {
        const json& value = object["rebootDelayMs"];
        if (!value.is_number_unsigned() || value.get<uint64_t>() > 600000)
            fail(where + ".rebootDelayMs", "expected milliseconds 0..600000");
        s.rebootDelayMs = value.get<unsigned>();
    }
    if (object.contains("commandLatencyMs")) {
        const json& value = object["commandLatencyMs"];
        if (!value.is_number_unsigned() || value.get<uint64_t>() > 60000)
            fail(where + ".commandLatencyMs", "expected milliseconds 0..60000");
        s.commandLatencyMs = value.get<unsigned>();
    }
    if (object.contains("files")) s.files = textMap(object["files"], where + ".files", true);
    if (object.contains("outputs")) s.outputs = textMap(object["outputs"], where + ".outputs", false);
    if (object.contains("faults")) s.faults = faults(object["faults"], where + ".faults");
    if (object.contains("activity")) s.activity = activity(object["activity"], where + ".activity");
}

DeviceConfig device(const json& object, const std::string& where) {
    checkKeys(object, where, {"mac",           "address",      "broadcast",
                              "product",       "version",      "subtype",
                              "reply",         "answersProbe", "http",
                              "password",      "prompt",       "hostname",
                              "configDepend",  "serial",       "consoleInEditor",
                              "rebootDelayMs", "files",        "outputs",
                              "faults",        "activity",     "commandLatencyMs"});
    if (!object.contains("mac")) fail(where, "missing \"mac\"");
    if (!object.contains("address")) fail(where, "missing \"address\"");
    const auto mac = parseMac(text(object["mac"], where + ".mac"));
    if (!mac) fail(where + ".mac", "expected six hex pairs like 02:4C:55:C8:12:34");

    // Unset fields take the values of the model the MAC names.
    DeviceConfig d = modelDevice((*mac)[3]);
    d.mac = *mac;
    d.address = address(object["address"], where + ".address");
    if (object.contains("broadcast") && !object["broadcast"].is_null())
        d.broadcast = address(object["broadcast"], where + ".broadcast");
    if (object.contains("product")) d.product = text(object["product"], where + ".product");
    if (object.contains("version")) d.version = text(object["version"], where + ".version");
    if (object.contains("subtype"))
        d.subtype = object["subtype"].is_null() ? std::string() : text(object["subtype"], where + ".subtype");
    if (object.contains("reply") && !object["reply"].is_null())
        d.reply = replyBytes(object["reply"], where + ".reply");
    if (object.contains("answersProbe")) {
        if (!object["answersProbe"].is_boolean()) fail(where + ".answersProbe", "expected true or false");
        d.answersProbe = object["answersProbe"].get<bool>();
    }
    if (object.contains("http")) d.http = http(object["http"], where + ".http");
    shell(object, where, d.shell);
    return d;
}

SimulatorConfig simulator(const json& document) {
    checkKeys(document, "configuration", {"devices", "discoveryPort", "httpPort", "telnetPort", "tftpPort"});
    SimulatorConfig config;
    if (document.contains("discoveryPort"))
        config.discoveryPort = port(document["discoveryPort"], "discoveryPort");
    if (document.contains("httpPort")) config.httpPort = port(document["httpPort"], "httpPort");
    if (document.contains("telnetPort")) config.telnetPort = port(document["telnetPort"], "telnetPort");
    if (document.contains("tftpPort")) {
        config.tftpPort = port(document["tftpPort"], "tftpPort");
        if (config.tftpPort == 0) fail("tftpPort", "expected a port 1..65535");
    }
    if (!document.contains("devices") || !document["devices"].is_array())
        fail("configuration", "expected \"devices\": [...]");
    for (std::size_t i = 0; i < document["devices"].size(); ++i) {
        const std::string where = "devices[" + std::to_string(i) + "]";
        config.devices.push_back(device(document["devices"][i], where));
    }
    return config;
}

}  // namespace

std::optional<SimulatorConfig> parseConfig(const nlohmann::json& document, std::string* error) {
    try {
        return simulator(document);
    } catch (const Problem& problem) {
        if (error) *error = problem.text;
    } catch (const nlohmann::json::exception& e) {
        if (error) *error = e.what();
    }
    return std::nullopt;
}

std::optional<SimulatorConfig> loadConfig(const std::string& path, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        if (error) *error = path + ": cannot be read";
        return std::nullopt;
    }
    const json document = json::parse(in, nullptr, false);
    if (document.is_discarded()) {
        if (error) *error = path + ": not valid JSON";
        return std::nullopt;
    }
    std::string why;
    auto config = parseConfig(document, &why);
    if (!config && error) *error = path + ": " + why;
    return config;
}

}  // namespace lm::sim
