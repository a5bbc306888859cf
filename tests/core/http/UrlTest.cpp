#include "core/http/Url.h"

#include <gtest/gtest.h>

#include <string>

namespace lm {
namespace {

TEST(HttpUrlTest, EscapesWhatAUrlMayNotHold) {
    const struct {
        std::string text;
        std::string escaped;
    } cases[] = {
        {"http://h/a b\"<>\\^`{|}", "http://h/a%20b%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {std::string("http://h/\r\n\x7f\xff\0", 14), "http://h/%0D%0A%7F%FF%00"},
        // Already escaped text, reserved characters and the fragment mark stay as they are.
        {"http://h:8/a%20b?x=1&y=/z#top", "http://h:8/a%20b?x=1&y=/z#top"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Url::escape(c.text), c.escaped) << c.text;
}

TEST(HttpUrlTest, RefusesAnEscapedTextOverTheLimit) {
    const std::string prefix = "http://h/";
    EXPECT_TRUE(Url::escape(prefix + std::string(Url::kMaxLength - prefix.size(), 'a')));
    EXPECT_FALSE(Url::escape(prefix + std::string(Url::kMaxLength - prefix.size() + 1, 'a')));
    // The limit counts the escaped form: 695 spaces become 2085 characters.
    EXPECT_FALSE(Url::escape(std::string(695, ' ')));
}

TEST(HttpUrlTest, SplitsIntoHostPortPathAndExtra) {
    const struct {
        const char* text;
        Url url;
    } cases[] = {
        {"HTTP://cam:8080/a/b.cgi?x=1#f", {"cam", 8080, "/a/b.cgi", "?x=1#f"}},
        {"http://cam:", {"cam", 80, "/", ""}},
        {"http://cam#f", {"cam", 80, "/", "#f"}},
        {"http://cam:65535/ x", {"cam", 65535, "/%20x", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Url::parse(c.text, 80), c.url) << c.text;
    EXPECT_EQ(Url::parse("http://cam/x", 8080)->port, 8080);
    for (const char* text :
         {"", "cam/image.jpg", "ftp://cam/", "https://cam/", "http:///x", "http://:80/", "http://cam:0/",
          "http://cam:65536/", "http://cam:8o/", "http://cam:-1/", "http://user:pw@cam/", "http://[::1]/"})
        EXPECT_FALSE(Url::parse(text, 80)) << text;
}

TEST(HttpUrlTest, ResolvesRedirectLocations) {
    const Url base = *Url::parse("http://cam:8080/dir/image.jpg?old", 80);
    const struct {
        const char* location;
        const char* resolved;
    } cases[] = {
        {"  /q.cgi?a=b  ", "http://cam:8080/q.cgi?a=b"},
        {"sub/x y", "http://cam:8080/dir/sub/x%20y"},
        {"", "http://cam:8080/dir/"},
        {"http://127.0.0.2:81", "http://127.0.0.2:81/"},
    };
    for (const auto& c : cases) {
        const auto url = base.resolve(c.location, 80);
        ASSERT_TRUE(url) << c.location;
        EXPECT_EQ(url->text(), c.resolved) << c.location;
    }
    for (const char* refused : {"https://cam/", "http://", "http://u@cam/"})
        EXPECT_FALSE(base.resolve(refused, 80)) << refused;
}

}  // namespace
}  // namespace lm
