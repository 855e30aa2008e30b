// The embeddings of a page: the usual ways of writing them, and pages that are hostile.
#include <gtest/gtest.h>

#include "files/EmbeddingPage.h"

namespace pellimor {
namespace {

std::string Described(const std::vector<Embedding>& found) {
    std::string out;
    for (const Embedding& e : found) {
        out += e.embeddedWith + " movie=" + e.movie + " flashvars=" + e.flashvars +
               " base=" + e.base + " size=" + e.width + "x" + e.height + "\n";
    }
    return out;
}

TEST(EmbeddingPageTest, TheUsualWaysOfEmbeddingAMovie) {
    const struct {
        std::string html;
        std::string found;
    } cases[] = {
        {"<embed src=\"games/rocket.swf\">",
         "embed movie=games/rocket.swf flashvars= base= size=x\n"},
        {"<EMBED SRC='a.swf' FlashVars='x=1&amp;y=&#50;&#x33;' width=100 HEIGHT=\"50\" "
         "base=\".\"/>",
         "embed movie=a.swf flashvars=x=1&y=23 base=. size=100x50\n"},
        {"<object type=\"application/x-shockwave-flash\" data=\"m.swf\" width=\"640\" "
         "height=\"480\"><param name=\"flashvars\" value=\"lang=tr\"><param name=\"base\" "
         "value=\"http://cdn.example/\"></object>",
         "object movie=m.swf flashvars=lang=tr base=http://cdn.example/ size=640x480\n"},
        {"<object classid=\"clsid:D27CDB6E\" width=10 height=20><param name=\"Movie\" "
         "value=\"p.swf\"><embed src=\"p.swf\" flashvars=\"e=1\"></object>",
         "object movie=p.swf flashvars=e=1 base= size=10x20\n"},
        // The outer element is the embedding; an <embed> of another movie inside is its own.
        {"<object classid=\"clsid:D27CDB6E\" codebase=\"x\"><param name=\"movie\" "
         "value=\"m.swf\"><param name=\"flashvars\" value=\"o=1\"><embed src=\"m.swf\" "
         "flashvars=\"e=1\" width=5 height=6><embed src=\"other.swf\"></object>",
         "object movie=m.swf flashvars=o=1 base= size=5x6\n"
         "embed movie=other.swf flashvars= base= size=x\n"},
        {"<object classid=\"clsid:D27CDB6E\"><embed src=\"only.swf\"></object>",
         "embed movie=only.swf flashvars= base= size=x\n"},
        {"<script>swfobject.embedSWF(\"game.swf\", \"box\", \"550\", \"400\", \"9.0.0\", "
         "\"expressInstall.swf\", {level: \"3\", 'name': 'a b'}, {base: \"/g/\", wmode: "
         "\"opaque\"});</script>",
         "swfobject.embedSWF movie=game.swf flashvars=level=3&name=a b base=/g/ size=550x400\n"},
        {"<script>swfobject.embedSWF('v.swf', 'id', 300, 200, '10', false, flashvars, "
         "params);</script>",
         "swfobject.embedSWF movie=v.swf flashvars= base= size=300x200\n"},
        {"<script>swfobject.embedSWF(url, 'id', 1, 2)</script>", ""},
        {"<object data=\"\"></object><embed>", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Described(FindEmbeddings(c.html)), c.found) << c.html;
    }
}

TEST(EmbeddingPageTest, HostilePagesEndInFewerFindings) {
    const std::string huge(kLongestTag * 2, 'a');
    const struct {
        std::string html;
        std::string found;
    } cases[] = {
        // An attribute longer than a tag may be: that tag is passed over, the next one read.
        {"<embed src=\"" + huge + "\"><embed src=\"b.swf\">",
         "embed movie=b.swf flashvars= base= size=x\n"},
        {"<embed src=\"a.swf", ""},
        {"<embed src='a.swf' ", ""},
        {"<object data=\"x.swf\"><param name=movie value=",
         "object movie=x.swf flashvars= base= size=x\n"},
        {"swfobject.embedSWF(\"", ""},
        {"embedSWF({a:{b:", ""},
        {std::string("<embed src=\"a\0b.swf\">", 21),
         std::string("embed movie=a\0b.swf flashvars= base= size=x\n", 44)},
        {"<embed src=&#99999999999;>", "embed movie=&#99999999999; flashvars= base= size=x\n"},
        {"<embed src=&#0;.swf>", "embed movie=\xEF\xBF\xBD.swf flashvars= base= size=x\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Described(FindEmbeddings(c.html)), c.found) << c.html.substr(0, 80);
    }
    // Pages built to make a scanner go back over them for every '<' or quote: each is read in
    // one pass (a quadratic scan of these would take hours; ctest's timeout fails it).
    for (const std::string unit : {"<a x='>", "<", "embedSWF("}) {
        std::string page;
        while (page.size() < kLargestPageScanned) {
            page += unit;
        }
        EXPECT_TRUE(FindEmbeddings(page).empty()) << unit;
    }
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += "<embed src=\"m" + std::to_string(i) + ".swf\">";
    }
    EXPECT_EQ(FindEmbeddings(many).size(), kMostEmbeddings);
}

}  // namespace
}  // namespace pellimor
