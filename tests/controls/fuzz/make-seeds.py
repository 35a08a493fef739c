#!/usr/bin/env python3
"""Writes the markup fuzz target's seed corpus (corpus/html_parser/): every
text the wizard shows (app/uGUILocalizer.cpp), and the edge cases of the
markup.

Each file is one style byte (0 ldsPlain, 1 ldsLink, 2 ldsHTML) followed by the
caption in UTF-16LE, as HtmlParserFuzz.cpp reads it. Run it again after the
texts change; files it does not write are left alone.
"""
import pathlib
import re

here = pathlib.Path(__file__).resolve().parent
top = here.parents[2]
out = here / "corpus" / "html_parser"
PLAIN, LINK, HTML = 0, 1, 2

# The texts' "%0:s" and "%1:s" are the offer site's addresses.
site = "http://webcompanion.com"
arguments = {"%0:s": site, "%1:s": site + "/privacy"}

edge_cases = {
    "empty-html": (HTML, ""),
    "empty-link": (LINK, ""),
    "plain-tags-as-text": (PLAIN, "<b>bold</b> & <i>x</i> a < b"),
    "plain-br-prefix": (PLAIN, "a<brown> fox>b<BR/>c<Br"),
    "link-whole-text": (LINK, "<a href=x>y</a><br>z\r\nw &amp;"),
    "html-line-breaks": (HTML, "a\r\nb\rc\nd\n\re\r\r\nf"),
    "html-leading-trailing-breaks": (HTML, "\r\n\r\nabc<br><br>"),
    "html-entities": (HTML, "&amp;lt; &#65;&#x41;&AMP;&quot;&apos;&copy;&#$41;&#0x41;&nbsp; & tail;"),
    "html-entity-mends": (HTML, "&#0;&#xD800;&#x110000;&#-1;&#x1F600;&#4294967295;&#x10FFFF;"),
    "html-entity-quotes-in-tag": (HTML, '<font name=&quot;Courier New&quot; color=&quot;#0000FF&quot;>x</font>'),
    "html-font-attributes": (HTML, '<font color="#0000FF">r</font><font color=#FF0000 height=-20 '
                                   'vertical-block-align=center name=Arial>b</font><FONT COLOR=red HEIGHT=x>'),
    "html-unterminated-values": (HTML, '<font name="Arial>x<font name=Tahoma'),
    "html-style-nesting": (HTML, "<font height=3><b>x</b>y</font><b>x<font height=3>y</b>z</font>w</b></u>"),
    "html-nested-links": (HTML, "<a href=1>x<a href=2>y</a>z<abbr>q</a>"),
    "html-dividers": (HTML, "a<div>b</div>c<a><div></a>"),
    "html-tag-names": (HTML, "<brown><big>a</big><body><img><ul><fontface name=x><p></><><//b>"),
    "html-unterminated-tag": (HTML, "a<b"),
    "html-quotes-in-tags": (HTML, "<a href=\"x>y\">z</a><a target href=x>q</a><a href='a b'>"),
    "html-whitespace": (HTML, "a\tb  c \u00a0"),
    "html-nul-and-surrogates": (HTML, "a\0b\ud800c\U0001F600"),
}


def texts():
    """The texts of the wizard, by name, with their arguments filled in."""
    source = (top / "app" / "uGUILocalizer.cpp").read_text(encoding="utf-8")
    pieces = r'((?:\s*(?:OFFER_SITE\s*)?L"(?:[^"\\]|\\.)*")+)'
    for name, body in re.findall(r"const wchar_t\* const (\w+) =" + pieces + r"\s*;", source):
        text = ""
        for site_prefix, literal in re.findall(r'(OFFER_SITE\s*)?L"((?:[^"\\]|\\.)*)"', body):
            if site_prefix:
                text += site
            text += re.sub(r'\\u([0-9A-Fa-f]{4})|\\(.)',
                           lambda m: chr(int(m.group(1), 16)) if m.group(1) else m.group(2), literal)
        for key, value in arguments.items():
            text = text.replace(key, value)
        yield name, text


def write(name, style, text):
    data = bytes([style]) + text.encode("utf-16-le", "surrogatepass")
    (out / name).write_bytes(data)


def main():
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for name, text in texts():
        if name.startswith("sURL"):
            continue  # addresses, never shown
        # sWelcomeCaption -> text-welcome-caption
        plain = re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "-", name[1:]).lower()
        write("text-" + plain, HTML, text)
        count += 1
    for name, (style, text) in edge_cases.items():
        write(name, style, text)
    print(f"{count} texts and {len(edge_cases)} edge cases in {out.relative_to(top)}")


if __name__ == "__main__":
    main()
