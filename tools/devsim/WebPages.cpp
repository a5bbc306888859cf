#include "devsim/WebPages.h"

#include "core/http/HtmlText.h"

namespace lm::sim {

namespace {

std::string page(const DeviceConfig& device, const std::string& heading, const std::string& body) {
    const std::string title = htmlEscaped(heading + " - " + identifierOf(device));
    return "<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body>\n<h1>" + htmlEscaped(heading) + "</h1>\n" + body + "</body>\n</html>\n";
}

std::string row(const std::string& name, const std::string& value) {
    return "<tr><th align=left>" + name + "</th><td>" + htmlEscaped(value) + "</td></tr>\n";
}

}  // namespace

std::string homePage(const DeviceConfig& device) {
    return page(device, device.product,
                "<p>" + htmlEscaped(identifierOf(device)) + ", firmware " + htmlEscaped(device.version) +
                    "</p>\n<p><img src=\"/image.jpg\" width=" + std::to_string(device.http.width) +
                    " height=" + std::to_string(device.http.height) +
                    " alt=\"Live picture\"></p>\n<p><a href=\"/admin.cgi\">Configuration</a></p>\n");
}

std::string adminPage(const DeviceConfig& device) {
    return page(device, "Configuration of " + device.product,
                "<table>\n" + row("ID", identifierOf(device)) + row("Product", device.product) +
                    row("Firmware", device.version) + row("Host name", hostnameOf(device)) +
                    "</table>\n<p>Settings are changed over telnet or with the Setup Wizard.</p>\n"
                    "<p><a href=\"/image.jpg\">Live picture</a> | <a href=\"/\">Home</a></p>\n");
}

}  // namespace lm::sim
