// The character references of the labels' markup. Free of any system
// header: the same file runs under Wine and, with sanitizers, on the build
// machine.
#include <gtest/gtest.h>

#include <string>

#include "ShowText.h"
#include "Velqora.System.Win.Internet.Entities.h"

using Testing::Show;
using Velqora::DecodeEntities;
using Velqora::DecodeEntity;

namespace {

TEST(DecodeEntity, NamedReferencesIgnoreTheLetterCase) {
  const struct {
    const char16_t* Reference;
    char16_t Expected;
  } cases[] = {
      {u"&quot;", u'"'},        {u"&amp;", u'&'},         {u"&lt;", u'<'},          {u"&gt;", u'>'},
      {u"&apos;", u'\''},       {u"&AMP;", u'&'},         {u"&Quot;", u'"'},        {u"&copy;", u'\u00A9'},
      {u"&reg;", u'\u00AE'},    {u"&laquo;", u'\u00AB'},  {u"&raquo;", u'\u00BB'},  {u"&not;", u'\u00AC'},
      {u"&deg;", u'\u00B0'},    {u"&plusmn;", u'\u00B1'}, {u"&micro;", u'\u00B5'},  {u"&para;", u'\u00B6'},
      {u"&MIDDOT;", u'\u00B7'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Reference));
    EXPECT_EQ(DecodeEntity(c.Reference), std::u16string(1, c.Expected));
  }
}

TEST(DecodeEntity, NumbersAreCharactersOfUnicodeOnly) {
  const struct {
    const char16_t* Reference;
    const char16_t* Expected;
  } cases[] = {
      {u"&#65;", u"A"},
      {u"&#x41;", u"A"},  // through TryStrToInt's "x" prefix
      {u"&#X41;", u"A"},
      {u"&#$41;", u"A"},
      {u"&#0x41;", u"A"},
      {u"&#+65;", u"A"},
      {u"&# 65;", u"A"},  // TryStrToInt's leading spaces
      {u"&a65;", u"A"},   // the second character is not looked at
      {u"&#1;", u"\u0001"},
      {u"&#xD7FF;", u"\uD7FF"},
      {u"&#xE000;", u"\uE000"},
      {u"&#xFFFF;", u"\uFFFF"},
      {u"&#x10000;", u"\U00010000"},
      {u"&#x1F600;", u"\U0001F600"},  // a surrogate pair
      {u"&#1114111;", u"\U0010FFFF"},
      // What names no character stays as written.
      {u"&#0;", u"&#0;"},
      {u"&#x0;", u"&#x0;"},
      {u"&#-1;", u"&#-1;"},
      {u"&#-$10;", u"&#-$10;"},
      {u"&#x80000000;", u"&#x80000000;"},
      {u"&#xD800;", u"&#xD800;"},
      {u"&#xDBFF;", u"&#xDBFF;"},
      {u"&#xDC00;", u"&#xDC00;"},
      {u"&#xDFFF;", u"&#xDFFF;"},
      {u"&#x110000;", u"&#x110000;"},
      {u"&#4294967295;", u"&#4294967295;"},
      // No reference at all.
      {u"&;", u"&;"},
      {u"&#;", u"&#;"},
      {u"&#65", u"&#65"},  // no ";"
      {u"&#65 ;", u"&#65 ;"},
      {u"&#6 5;", u"&#6 5;"},
      {u"&nbsp;", u"&nbsp;"},
      {u"&amp", u"&amp"},
      {u"&amp;x", u"&amp;x"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Reference));
    EXPECT_EQ(DecodeEntity(c.Reference), c.Expected);
  }
  // Whatever the second character is: a NUL there goes with the reference.
  EXPECT_EQ(DecodeEntity(std::u16string_view(u"&\0" u"65;", 5)), u"A");
}

TEST(DecodeEntities, ReplacesEachReferenceOnceFromTheStart) {
  const struct {
    const char16_t* Text;
    const char16_t* Expected;
  } cases[] = {
      {u"", u""},
      {u"plain", u"plain"},
      {u"a &amp; b", u"a & b"},
      {u"&lt;b&gt;", u"<b>"},
      {u"&amp;lt;", u"&lt;"},  // a replacement is not decoded again
      {u"&#38;#65;", u"&#65;"},
      {u"&#65;&#66;", u"AB"},
      {u"a & b", u"a & b"},  // no ";" after the "&": nothing to do
      {u"&amp; tail &", u"& tail &"},
      {u"&amp; & &amp;", u"& & &amp;"},  // the second "&" runs to the last ";"
      {u"x & y; &amp;", u"x & y; &"},
      {u"&&amp;", u"&&amp;"},
      {u";&amp;;", u";&;"},
      {u"&#x1F600;!", u"\U0001F600!"},
      {u"&#0;&#xD800;&#x110000;&#-1;", u"&#0;&#xD800;&#x110000;&#-1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Show(c.Text));
    EXPECT_EQ(DecodeEntities(c.Text), c.Expected);
  }
}

}  // namespace
