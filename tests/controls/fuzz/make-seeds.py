#!/usr/bin/env python3
"""Writes the markup fuzz targets' seed corpora: every text the wizard shows
(app/uGUILocalizer.cpp), and the edge cases of the markup and its layout.

corpus/html_parser/: one style byte (0 ldsPlain, 1 ldsLink, 2 ldsHTML)
followed by the caption in UTF-16LE, as HtmlParserFuzz.cpp reads it.
corpus/html_drawer/: twelve bytes of layout settings followed by the caption
in UTF-16LE, as HtmlDrawerFuzz.cpp reads them.
Run it again after the texts change; files it does not write are left alone.
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


drawer_out = here / "corpus" / "html_drawer"
# Flags of the third settings byte.
WRAP, AUTO_HEIGHT, AUTO_WIDTH, THIN = 1, 2, 4, 8
END_ELLIPSIS, WORD_ELLIPSIS, PATH_ELLIPSIS = 0x20, 0x30, 0x10
LEFT, RIGHT, CENTER = 0, 1, 2
TOP, BOTTOM, MIDDLE = 0, 3, 6


def write_drawer(name, text, align=LEFT, flags=WRAP | AUTO_HEIGHT, line_spaces=0, height=-12, style=0,
                 width=300, rect_height=60, focus=0, over=0):
    """Settings as HtmlDrawerFuzz.cpp reads them; width and height are
    halved into one byte each."""
    settings = bytes([HTML, align, flags, line_spaces & 0xFF, height & 0xFF, style, 2, 2,
                      min(width // 2, 255), min(rect_height // 2, 255), focus, over])
    (drawer_out / name).write_bytes(settings + text.encode("utf-16-le", "surrogatepass"))


drawer_cases = {
    "wrap-long-word": ("Averylongwordwithoutanybreakcharacter and more", {"width": 60}),
    "wrap-break-characters": ("a/b\\c d\u00a0e\u2003f  g", {"width": 20}),
    "wrap-divider": ("abc<div>def<div>ghi", {"width": 30}),
    "wrap-eastern": ("Latin text \u4e00\u4e8c\u4e09 more", {"width": 40}),
    "end-ellipsis-three-lines": ("one<br>two<br>three", {"flags": END_ELLIPSIS, "rect_height": 30}),
    "end-ellipsis-bottom": ("one<br>two<br>three", {"flags": END_ELLIPSIS, "align": BOTTOM, "rect_height": 30}),
    "word-ellipsis-wide-line": ("<a href=x>a link much wider than the label</a>",
                                {"flags": WORD_ELLIPSIS, "width": 60, "align": CENTER}),
    "word-ellipsis-empty-line": ("abc<br><br>def", {"flags": WORD_ELLIPSIS}),
    "path-ellipsis": ("C:\\Program Files\\Bountiq\\setup.exe", {"flags": PATH_ELLIPSIS, "width": 40}),
    "thin-line-spaces": ("<font height=-20>big</font> small<br>next", {"flags": WRAP | THIN, "line_spaces": 3}),
    "vertical-blocks": ('<font vertical-block-align=top>t</font><font vertical-block-align=center height=-30>c'
                        '</font><font vertical-block-align=bottom>b</font>', {"flags": 0, "align": MIDDLE}),
    "auto-width-right": ("short<br>a longer line", {"flags": AUTO_WIDTH, "align": RIGHT}),
    "focus-wrapped-link": ("<a href=a>first link wraps</a> <a href=b>second</a>", {"width": 50, "focus": 2}),
    "giant-font": ("<font height=-2000000000>x</font><font height=2147483647>y</font>", {}),
    "blank": ("   \t ", {"width": 2}),
}


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
    drawer_out.mkdir(parents=True, exist_ok=True)
    for name, text in texts():
        if not name.startswith("sURL"):
            write_drawer("text-" + re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "-", name[1:]).lower(), text)
    for name, (text, settings) in drawer_cases.items():
        write_drawer(name, text, **settings)
    print(f"{count} texts and {len(edge_cases)} edge cases in {out.relative_to(top)}")


if __name__ == "__main__":
    main()
