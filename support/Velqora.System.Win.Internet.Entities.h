// Character references of the markup ("&amp;", "&#65;", "&#x41;"): the
// table of named references and their decoding. Free of any system header:
// the markup units that use them also build for the build machine.
#pragma once

#include <string>
#include <string_view>

namespace Velqora {

struct TEntity {
  std::u16string_view Name;  // with "&" and ";"
  char16_t Char;
};

// The named references: the five of XML, then ten more of HTML's common
// symbols under their usual names.
inline constexpr TEntity Entities[] = {
    {u"&quot;", u'\u0022'},   {u"&amp;", u'\u0026'},  {u"&lt;", u'\u003C'},    {u"&gt;", u'\u003E'},
    {u"&apos;", u'\u0027'},   {u"&copy;", u'\u00A9'}, {u"&reg;", u'\u00AE'},   {u"&laquo;", u'\u00AB'},
    {u"&raquo;", u'\u00BB'},  {u"&not;", u'\u00AC'},  {u"&deg;", u'\u00B0'},   {u"&plusmn;", u'\u00B1'},
    {u"&micro;", u'\u00B5'},  {u"&para;", u'\u00B6'}, {u"&middot;", u'\u00B7'},
};

// One reference, "&" through ";", decoded:
// - a named reference of the table, letter case of ASCII letters ignored,
//   gives its character;
// - otherwise, for a reference of more than three characters that ends
//   with ";", the characters from the third up to the ";" are read with
//   TryStrToInt (the second, normally "#", is not looked at: "&#65;" and
//   "&#x41;" both give "A", so do "&#$41;" and "&#0x41;"); a code point
//   U+0001..U+10FFFF other than a surrogate gives its character, as a
//   surrogate pair above U+FFFF;
// - anything else, including numbers that are 0, negative, surrogates or
//   above U+10FFFF, gives AReference unchanged.
std::u16string DecodeEntity(std::u16string_view AReference);

// AText with every reference replaced by DecodeEntity of it, in one pass
// from the start: a reference runs from an "&" to the first ";" after it;
// after an "&" without any ";" after it nothing more is decoded. The search
// goes on after the reference, so a replacement is never decoded again
// ("&amp;lt;" gives "&lt;").
std::u16string DecodeEntities(std::u16string_view AText);

}  // namespace Velqora
