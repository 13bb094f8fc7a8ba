// Decoding of settings INI values: numbers as the INI writes them and the
// scrambled value bytes. Pure byte logic: no Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fetchrun {

// Largest value, in UTF-16 characters, that the settings reader accepts. Real
// values are URLs, hashes and parameters; anything beyond this is refused (read
// as empty) rather than allocated.
inline constexpr std::size_t kMaxSettingChars = 1u << 20;
inline constexpr std::uint32_t kMaxScrambledBytes = static_cast<std::uint32_t>(kMaxSettingChars * 2);

// The leading decimal number of `text` (optional blanks and sign first); 0 when
// there is none. The fallback when the platform's hex-aware conversion refuses.
std::int32_t LeadingDecimal(const std::wstring& text);

// Byte count of a scrambled value from its "-CURLEN" entry and the key. Returns
// false (value empty) when the count is 0 or larger than kMaxScrambledBytes.
bool ScrambledByteCount(std::uint32_t lengthEntry, std::uint32_t key, std::uint32_t* byteCount);

// XORs byte i with byte (i mod 4) of `key`, most significant byte first.
void Unscramble(std::vector<std::uint8_t>& bytes, std::uint32_t key);

// UTF-16LE bytes as text, up to the first NUL character or the end; an odd last
// byte is not part of any character and is dropped.
std::wstring TextFromUtf16Le(const std::uint8_t* bytes, std::size_t size);

}  // namespace fetchrun
