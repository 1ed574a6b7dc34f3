#pragma once

#include <string>
#include <string_view>

namespace tarvoni::stream {

// Decrypts one HLS segment encrypted with AES-128 (CBC, PKCS#7 padding) as its bytes come.
class SegmentDecrypter {
public:
    // `key` and `iv` of 16 bytes each; anything else makes a decrypter that is not valid().
    SegmentDecrypter(std::string_view key, std::string_view iv);
    ~SegmentDecrypter();
    SegmentDecrypter(const SegmentDecrypter &) = delete;
    SegmentDecrypter &operator=(const SegmentDecrypter &) = delete;

    bool valid() const { return m_cipher != nullptr; }

    // The clear bytes of what has come so far; the last block waits for end(), which knows
    // whether it holds the padding.
    std::string feed(std::string_view in);
    // The rest, without its padding; false when the segment did not end on a whole block or its
    // padding is not PKCS#7's.
    bool end(std::string *out);

    // The IV of a segment whose playlist names none: its sequence number, big-endian.
    static std::string sequenceIv(long long sequence);

private:
    void *m_cipher = nullptr; // gnutls_cipher_hd_t
    std::string m_pending;    // not decrypted yet
};

} // namespace tarvoni::stream
