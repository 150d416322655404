#include "platform/portable/store/sha256.h"

#include <gtest/gtest.h>

namespace {

using portable::HexText;
using portable::Sha256;

// Runs check with the processor's SHA instructions (where there are any) and without.
template <class Check> void BothWays(Check check) {
    bool accelerated = Sha256::Accelerated();
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "SHA instructions" : "portable");
        Sha256::UseAcceleration(on);
        check();
    }
    Sha256::UseAcceleration(accelerated);
}

TEST(Sha256, KnownVectors) {
    struct Case {
        std::string input;
        std::string_view digest;
    };
    // The first four are the examples of FIPS 180-2; the lengths around the padding
    // boundaries (55/56 bytes fit one block or not, 64 is a whole block) were computed
    // with Python's hashlib.
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnop"
         "qrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
        {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
    };
    BothWays([&] {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.input.size());
            EXPECT_EQ(HexText(Sha256::Of(c.input)), c.digest);
        }
    });
}

TEST(Sha256, PiecesOfAnySizeGiveTheSameDigest) {
    std::string million(1000000, 'a');
    constexpr std::string_view kMillion =
        "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
    BothWays([&] {
        EXPECT_EQ(HexText(Sha256::Of(million)), kMillion);
        for (size_t piece : {1, 7, 63, 64, 65, 1000, 65536}) {
            SCOPED_TRACE(piece);
            Sha256 hash;
            for (size_t at = 0; at < million.size(); at += piece)
                hash.Update(std::string_view(million).substr(at, piece));
            EXPECT_EQ(HexText(hash.Finish()), kMillion);
        }
    });
    // Finish starts afresh.
    Sha256 hash;
    hash.Update("abc");
    hash.Finish();
    hash.Update("abc");
    EXPECT_EQ(HexText(hash.Finish()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

} // namespace
