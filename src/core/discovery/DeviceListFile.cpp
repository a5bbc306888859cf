#include "core/discovery/DeviceListFile.h"

#include <array>
#include <fstream>
#include <optional>

#include <nlohmann/json.hpp>

#include "core/discovery/CsvText.h"

namespace lm {

namespace {

using Json = nlohmann::json;

// The text fields of a record under their names in a file, in the order a CSV row holds them.
struct TextField {
    const char* name;
    std::string DeviceRecord::*member;
};
constexpr std::array<TextField, 8> kTextFields = {{{"id", &DeviceRecord::id},
                                                   {"address", &DeviceRecord::address},
                                                   {"deviceType", &DeviceRecord::deviceType},
                                                   {"version", &DeviceRecord::version},
                                                   {"mac", &DeviceRecord::mac},
                                                   {"product", &DeviceRecord::product},
                                                   {"subtype", &DeviceRecord::subtype},
                                                   {"interface", &DeviceRecord::interfaceName}}};
constexpr const char* kSource = "source";

std::optional<DeviceSource> sourceNamed(std::string_view name) {
    for (const auto source :
         {DeviceSource::probe, DeviceSource::echo, DeviceSource::arp, DeviceSource::manual})
        if (deviceSourceName(source) == name) return source;
    return std::nullopt;
}

const TextField* textField(std::string_view name) {
    for (const auto& field : kTextFields)
        if (name == field.name) return &field;
    return nullptr;
}

bool isId(const TextField& field) {
    return field.member == &DeviceRecord::id;
}

// A field's value in a file, or nothing (JSON null, an empty CSV cell) where the list shows a
// stand-in: a script must not mistake "Unknown (ARP)" for a version. A manual entry's name is not
// a device ID.
std::optional<std::string> savedText(const DeviceRecord& record, const TextField& field) {
    const std::string& text = record.*(field.member);
    // The reader wants the address as text, whatever it holds: a list read is always written back readable.
    if (field.member == &DeviceRecord::address) return text;
    if (text.empty() || isUnknownText(text) || text == kArpOnlyVersion) return std::nullopt;
    if (isId(field) && record.source == DeviceSource::manual) return std::nullopt;
    return text;
}

// What a field reads back as from nothing: the ID the list knows to pair by address alone.
std::string unsaidText(const TextField& field) {
    return isId(field) ? std::string(kUnknownText) : std::string();
}

// Builds records straight from the parser's events, so a hostile file never becomes a tree in
// memory: nesting, device count and every value are checked as they arrive, and the first fault
// stops the parse.
class ListReader : public nlohmann::json_sax<Json> {
public:
    static constexpr int kMaxDepth = 16;

    std::vector<DeviceRecord> records;
    std::string error;

    bool null() override {
        const TextField* field = depth_ == 2 ? textField(key_) : nullptr;
        if (!field || field->member == &DeviceRecord::address) return scalar("null");
        current_.*(field->member) = unsaidText(*field);
        seenId_ = seenId_ || isId(*field);
        return true;
    }
    bool boolean(bool) override { return scalar("true or false"); }
    bool number_integer(number_integer_t) override { return scalar("a number"); }
    bool number_unsigned(number_unsigned_t) override { return scalar("a number"); }
    bool number_float(number_float_t, const string_t&) override { return scalar("a number"); }
    bool binary(binary_t&) override { return scalar("binary"); }

    bool string(string_t& value) override {
        if (depth_ != 2) return scalar("text");
        if (const TextField* field = textField(key_)) {
            current_.*(field->member) = value;
            seenId_ = seenId_ || key_ == "id";
            seenAddress_ = seenAddress_ || key_ == "address";
        } else if (key_ == kSource) {
            const auto source = sourceNamed(value);
            if (!source) return fail(deviceLabel() + ": unknown \"source\" \"" + value + "\"");
            current_.source = *source;
        }
        return true;
    }

    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }

    bool key(string_t& name) override {
        if (depth_ == 2) key_ = name;
        return true;
    }

    bool end_object() override {
        if (depth_-- != 2) return true;
        if (!seenId_ || !seenAddress_) return fail(deviceLabel() + ": \"id\" or \"address\" is missing");
        records.push_back(std::move(current_));
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override {
        if (error.empty()) error = "not valid JSON (at byte " + std::to_string(position) + ")";
        return false;
    }

private:
    std::string deviceLabel() const { return "device " + std::to_string(records.size() + 1); }

    bool fail(std::string text) {
        error = std::move(text);
        return false;
    }

    // Any value but text: refused where the list or a known field needs something else.
    bool scalar(const char* what) {
        if (depth_ == 0) return fail("not a list of devices (a JSON array)");
        if (depth_ == 1) return fail(deviceLabel() + " is " + what + ", not an object");
        if (depth_ == 2 && (textField(key_) || key_ == kSource))
            return fail(deviceLabel() + ": \"" + key_ + "\" is " + what + ", not text");
        return true;
    }

    bool open(bool object) {
        if (depth_ == 0 && object) return fail("not a list of devices (a JSON array)");
        if (depth_ == 1) {
            if (!object) return fail(deviceLabel() + " is an array, not an object");
            if (records.size() >= kMaxListDevices)
                return fail("more than " + std::to_string(kMaxListDevices) + " devices");
            current_ = DeviceRecord{};
            key_.clear();
            seenId_ = seenAddress_ = false;
        }
        if (depth_ == 2 && (textField(key_) || key_ == kSource))
            return fail(deviceLabel() + ": \"" + key_ + "\" is not text");
        if (++depth_ > kMaxDepth) return fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
        return true;
    }

    int depth_ = 0;
    std::string key_;
    DeviceRecord current_;
    bool seenId_ = false, seenAddress_ = false;
};

}  // namespace

std::string deviceListJson(const std::vector<DeviceRecord>& records) {
    auto array = Json::array();
    for (const auto& record : records) {
        Json object;
        for (const auto& field : kTextFields) {
            const auto text = savedText(record, field);
            object[field.name] = text ? Json(*text) : Json(nullptr);
        }
        object[kSource] = deviceSourceName(record.source);
        array.push_back(std::move(object));
    }
    // Device text need not be UTF-8; invalid bytes become U+FFFD instead of failing the dump.
    return array.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}

std::string deviceListCsv(const std::vector<DeviceRecord>& records) {
    std::vector<std::string> row;
    for (const auto& field : kTextFields)
        row.emplace_back(field.name);
    row.emplace_back(kSource);
    std::string text = csvRecord(row);
    for (const auto& record : records) {
        row.clear();
        for (const auto& field : kTextFields)
            row.push_back(savedText(record, field).value_or(""));
        row.emplace_back(deviceSourceName(record.source));
        text += csvRecord(row);
    }
    return text;
}

DeviceRecord savedForm(DeviceRecord record) {
    for (const auto& field : kTextFields)
        record.*(field.member) = savedText(record, field).value_or(unsaidText(field));
    return record;
}

DeviceListRead readDeviceListJson(std::string_view text) {
    ListReader reader;
    const bool parsed = Json::sax_parse(text, &reader);
    if (!parsed || !reader.error.empty())
        return {{}, reader.error.empty() ? std::string("not valid JSON") : reader.error};
    return {std::move(reader.records), {}};
}

DeviceListRead readDeviceListFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {{}, path + ": cannot be opened"};
    // Read in pieces up to one byte past the limit, so a pipe or a huge file costs no more.
    std::string text;
    std::array<char, 65536> piece;
    while (text.size() <= kMaxListFileBytes && file.read(piece.data(), piece.size()).gcount() > 0)
        text.append(piece.data(), static_cast<std::size_t>(file.gcount()));
    if (file.bad()) return {{}, path + ": cannot be read"};
    if (text.size() > kMaxListFileBytes)
        return {{}, path + ": larger than " + std::to_string(kMaxListFileBytes / (1024 * 1024)) + " MiB"};
    auto read = readDeviceListJson(text);
    if (!read.ok()) read.error = path + ": " + read.error;
    return read;
}

}  // namespace lm
