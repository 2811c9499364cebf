// The background digest of an open source file: manifests take its result, and a changed, stopped or
// missing file never yields a wrong digest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <thread>
#include <vector>

#include "common/evidence/ManifestBuilder.h"
#include "common/evidence/SourceDigest.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr;
using dvr::testsupport::TempFolder;

void writeBytes(const std::string& path, size_t bytes, char fill) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(bytes, fill);
}

std::string hexOfFile(const std::string& path) {
    const auto digest = evidence::sha256OfFile(path);
    return digest ? evidence::hexOf(digest->digest) : std::string();
}

TEST(SourceDigest, GivesTheFilesDigestToEveryThreadAndToTheManifest) {
    TempFolder dir;
    const std::string backup = dir.file("b.zav");
    const std::string other = dir.file("other.zav");
    writeBytes(backup, 3 << 20, 'a');
    writeBytes(other, 1000, 'b');

    evidence::SourceDigest digest;
    digest.start(backup);
    std::vector<std::string> seen(4);
    std::vector<std::thread> readers;
    for (size_t i = 0; i < seen.size(); ++i)
        readers.emplace_back([&, i] {
            const auto d = digest.of(backup);
            seen[i] = d ? evidence::hexOf(d->digest) : "none";
        });
    for (auto& t : readers)
        t.join();
    for (const std::string& hex : seen)
        EXPECT_EQ(hex, hexOfFile(backup));
    EXPECT_TRUE(digest.ready(backup));
    EXPECT_EQ(digest.percentDone(backup), 100);
    EXPECT_EQ(digest.percentDone(other), std::nullopt);

    // Another file than the one started is read where it is asked for.
    EXPECT_FALSE(digest.ready(other));
    const auto d = digest.of(other);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->sizeBytes, 1000u);
    EXPECT_EQ(evidence::hexOf(d->digest), hexOfFile(other));

    const auto manifest = evidence::ManifestBuilder::fromBackup("test", backup, 2, &digest).manifest();
    EXPECT_EQ(manifest.source.sha256, hexOfFile(backup));
    EXPECT_EQ(manifest.source.sizeBytes, uint64_t(3) << 20);
}

TEST(SourceDigest, AChangedStoppedOrMissingFileIsNeverGivenAStaleDigest) {
    TempFolder dir;
    const std::string backup = dir.file("b.zav");
    writeBytes(backup, 1 << 20, 'a');
    evidence::SourceDigest digest;
    digest.start(backup);
    ASSERT_TRUE(digest.of(backup));

    // Grown since it was opened: read again.
    std::ofstream(backup, std::ios::binary | std::ios::app) << "tail";
    EXPECT_FALSE(digest.ready(backup));
    auto d = digest.of(backup);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->sizeBytes, (1u << 20) + 4);
    EXPECT_EQ(evidence::hexOf(d->digest), hexOfFile(backup));

    // Stopped at once, perhaps in the middle of the file: the answer is still the whole file's.
    const std::string large = dir.file("large.zav");
    writeBytes(large, 32 << 20, 'c');
    digest.start(large);
    digest.stop();
    EXPECT_FALSE(digest.ready(large));
    d = digest.of(large);
    ASSERT_TRUE(d);
    EXPECT_EQ(evidence::hexOf(d->digest), hexOfFile(large));

    // Started on a file that went away: the reason, and a manifest that refuses to be written.
    const std::string gone = dir.file("gone.zav");
    writeBytes(gone, 10, 'x');
    digest.start(gone);
    digest.of(gone);
    ::unlink(gone.c_str());
    std::string reason;
    EXPECT_FALSE(digest.of(gone, &reason));
    EXPECT_FALSE(reason.empty());
    writeBytes(dir.file("still.jpg"), 10, 'j');
    const evidence::ManifestWrite written = evidence::ManifestBuilder::fromBackup("test", gone, 0, &digest)
                                                .writeStill(dir.file("still.jpg"), "2026-05-17 12:00:00");
    EXPECT_FALSE(written.ok);
    EXPECT_NE(written.message.find("gone.zav"), std::string::npos) << written.message;
}

}  // namespace
