#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/pop3/Pop3LineReader.h"

namespace {

// Every line the reader completes from `chunks`, fed one chunk at a time.
std::vector<std::string> LinesOf(CPop3LineReader& reader, const std::vector<std::string>& chunks) {
    std::vector<std::string> lines;
    for (std::string_view chunk : chunks) {
        while (!chunk.empty()) {
            chunk.remove_prefix(reader.Feed(chunk));
            if (reader.IsLineComplete()) {
                lines.push_back(reader.Line());
                reader.StartNextLine();
            }
        }
    }
    return lines;
}

std::vector<std::string> LinesOf(const std::vector<std::string>& chunks) {
    CPop3LineReader reader;
    return LinesOf(reader, chunks);
}

using Lines = std::vector<std::string>;

TEST(Pop3LineReader, LfAndCrEachEndALineAndCrTakesTheByteAfterIt) {
    EXPECT_EQ(LinesOf({"+OK a\r\n+OK b\n+OK c\r\n"}), (Lines{"+OK a", "+OK b", "+OK c"}));
    // The byte after a CR goes with it whatever it is.
    EXPECT_EQ(LinesOf({"one\rXtwo\r\rthree\n"}), (Lines{"one", "two", "three"}));
    EXPECT_EQ(LinesOf({"\r\n\n"}), (Lines{"", ""}));
}

TEST(Pop3LineReader, ACrAtTheEndOfAChunkWaitsForTheNextChunk) {
    CPop3LineReader reader;
    EXPECT_EQ(reader.Feed("+OK ready\r"), 10u);
    EXPECT_FALSE(reader.IsLineComplete());
    EXPECT_EQ(LinesOf(reader, {"\n+OK next\r", "\n"}), (Lines{"+OK ready", "+OK next"}));
    // A bare CR swallows the first byte of the following reply.
    EXPECT_EQ(LinesOf({"+OK ready\r", "+OK 2 10\r", "\n"}), (Lines{"+OK ready", "OK 2 10"}));
}

TEST(Pop3LineReader, StopsAtTheEndOfEachLine) {
    CPop3LineReader reader;
    EXPECT_EQ(reader.Feed("ab\r\ncd\n"), 4u);
    EXPECT_EQ(reader.Line(), "ab");
    EXPECT_EQ(reader.Feed("cd\n"), 0u) << "takes nothing until the next line is started";
    reader.StartNextLine();
    EXPECT_EQ(reader.Feed("cd\n"), 3u);
    EXPECT_EQ(reader.Line(), "cd");
}

TEST(Pop3LineReader, KeepsAtMost514BytesAndDropsTheRestOfTheLine) {
    const std::string longLine(600, 'x');
    const Lines lines = LinesOf({longLine + "\r\n+OK\r\n"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(514, 'x'));
    EXPECT_EQ(lines[1], "+OK");

    const std::string exact(514, 'y');
    EXPECT_EQ(LinesOf({exact + "\r\n", "+OK 1\r\n"}), (Lines{exact, "+OK 1"}));
    EXPECT_EQ(LinesOf({std::string(513, 'z') + "\r\n"}), (Lines{std::string(513, 'z')}));
}

TEST(Pop3LineReader, ALongLineSpreadOverManyChunksStaysBoundedAndInStep) {
    CPop3LineReader reader;
    const std::string chunk(4096, 'j');
    for (int i = 0; i < 2560; ++i) {  // 10 MB without a line end
        EXPECT_EQ(reader.Feed(chunk), chunk.size());
        ASSERT_FALSE(reader.IsLineComplete());
    }
    EXPECT_EQ(LinesOf(reader, {"tail\r", "\nnext\n"}), (Lines{std::string(514, 'j'), "next"}));
}

TEST(Pop3LineReader, AStreamEndingBeforeALineKeepsThePreviousLine) {
    CPop3LineReader reader;
    EXPECT_EQ(LinesOf(reader, {"+OK first\r\n"}), (Lines{"+OK first"}));
    EXPECT_FALSE(reader.EndStream());
    EXPECT_EQ(reader.Line(), "+OK first");
    EXPECT_FALSE(reader.IsLineComplete());
}

TEST(Pop3LineReader, AStreamEndingPartWayMakesWhatWasReadTheLine) {
    CPop3LineReader partial;
    partial.Feed("+OK fir");
    EXPECT_TRUE(partial.EndStream());
    EXPECT_EQ(partial.Line(), "+OK fir");

    CPop3LineReader afterCr;
    afterCr.Feed("+OK 4\r");
    EXPECT_TRUE(afterCr.EndStream());
    EXPECT_EQ(afterCr.Line(), "+OK 4");

    CPop3LineReader discarding;
    discarding.Feed(std::string(700, 'd'));
    EXPECT_TRUE(discarding.EndStream());
    EXPECT_EQ(discarding.Line(), std::string(514, 'd'));
}

TEST(Pop3LineReader, KeepsNulBytesInTheLine) {
    EXPECT_EQ(LinesOf({std::string("a\0b\n", 4)}), (Lines{std::string("a\0b", 3)}));
}

}  // namespace
