// Passwords of AES-256 files prepared as SASLprep asks: mapped, then in
// normalization form KC (Unicode 3.2), with Hangul composed by arithmetic.
#include "base/saslprep.h"

#include <gtest/gtest.h>

namespace {

TEST(SaslprepTest, PasswordsAreMappedAndNormalized) {
    const std::pair<std::string, std::string> cases[] = {
        {"secret", "secret"},
        {"\xEF\xAC\x81le", "file"},  // a ligature: two letters
        {"a\xC2\xA0"
         "b\xE3\x80\x80"
         "c",
         "a b c"},  // other spaces: U+0020
        {"so\xC2\xAD"
         "ft\xE2\x80\x8B",
         "soft"},                                      // soft hyphen, zero width: nothing
        {"pa\xCC\x88sswort", "p\xC3\xA4sswort"},       // a + diaeresis composes
        {"A\xCC\x8A", "\xC3\x85"},                     // A + ring above
        {"\xE2\x84\xAB", "\xC3\x85"},                  // the angstrom sign
        {"q\xCC\xA3\xCC\x87", "q\xCC\xA3\xCC\x87"},    // marks in class order stay
        {"q\xCC\x87\xCC\xA3", "q\xCC\xA3\xCC\x87"},    // and are put in it
        {"\xE1\x84\x80\xE1\x85\xA1", "\xEA\xB0\x80"},  // Hangul L V: one syllable
        {"\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8", "\xEA\xB0\x81"},  // L V T
        {"\xEA\xB0\x80\xE1\x86\xA8", "\xEA\xB0\x81"},              // syllable + T
        {"\xEA\xB0\x81\xE1\x86\xA8", "\xEA\xB0\x81\xE1\x86\xA8"},  // a full syllable takes no T
        {"\xEA\xB0\x80\xE1\x86\xA7", "\xEA\xB0\x80\xE1\x86\xA7"},  // U+11A7 is no trailing jamo
        {"\xEA\xB0\x80\xE1\x87\x82", "\xEA\xB0\x9B"},              // the last T, U+11C2
        {"\xEA\xB0\x80\xE1\x87\x83", "\xEA\xB0\x80\xE1\x87\x83"},  // U+11C3 is none
        {"\xE1\x84\x92\xE1\x85\xB5", "\xED\x9E\x88"},              // the last L and V
        {"\xE1\x84\x93\xE1\x85\xA1", "\xE1\x84\x93\xE1\x85\xA1"},  // past them: none
        {"\xE1\x84\x80\xE1\x85\xB6", "\xE1\x84\x80\xE1\x85\xB6"},
        {"\xEF\xBC\xA1\xE2\x91\xA0", "A1"},  // full width A, circled one
    };
    for (const auto& [typed, prepared] : cases) {
        EXPECT_EQ(saslprep::Prepare(typed), prepared) << typed;
    }
}

}  // namespace
