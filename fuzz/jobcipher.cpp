// The enciphered job field: whatever a job file holds deciphers without failing, and every
// password enciphers to one line of Base64 that deciphers back to itself.
#include "core/jobcipher.h"
#include "fuzzcheck.h"

using namespace kx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QByteArray plain = DecryptJobField(input);
    KX_FUZZ_CHECK(plain.size() <= input.size());

    const QByteArray stored = EncryptJobField(input);
    KX_FUZZ_CHECK(stored.isEmpty() == input.isEmpty());
    for (char c : stored)
        KX_FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+'
                      || c == '/' || c == '=');
    KX_FUZZ_CHECK(DecryptJobField(stored) == input);
    return 0;
}
