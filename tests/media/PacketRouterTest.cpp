// The fates of the video packets a job copies: which packets go out as they
// are, which decoded pictures around a cut are let go.
#include <gtest/gtest.h>

#include "media/private/EntryPoints.h"
#include "media/private/PacketRouter.h"

namespace {

using VELAVCODEC::PacketFate;
using VELAVCODEC::PacketRouter;

// Times count in milliseconds.
AVPacket PacketAt(int64_t ms, bool key) {
  AVPacket packet{};
  packet.pts = packet.dts = ms;
  packet.flags = key ? AV_PKT_FLAG_KEY : 0;
  return packet;
}

AVFrame PictureAt(int64_t ms) {
  AVFrame frame{};
  frame.pts = frame.best_effort_timestamp = ms;
  return frame;
}

PacketRouter RouterWith(std::vector<PacketFate> fates) {
  PacketRouter router;
  router.Start({.Fates = std::move(fates), .BaseNum = 1, .BaseDen = 1000});
  return router;
}

TEST(PacketRouter, NothingIsCopiedWithoutFates) {
  PacketRouter router = RouterWith({});
  EXPECT_FALSE(router.Routes());
  for (int64_t ms : {0, 40, 2000}) {
    AVPacket packet = PacketAt(ms, true);
    EXPECT_FALSE(router.Copies(&packet));
    EXPECT_FALSE(router.InCopiedHead(&packet));
    AVFrame picture = PictureAt(ms);
    EXPECT_FALSE(router.DropsPicture(&picture));
  }
}

TEST(PacketRouter, AKeyframeOfTheFatesSetsTheFateOfThePacketsUpToTheNext) {
  PacketRouter router = RouterWith({{.KeyframeSeconds = 0.0, .Copied = false},
                                    {.KeyframeSeconds = 2.0, .Copied = true},
                                    {.KeyframeSeconds = 4.0, .Copied = false}});
  EXPECT_TRUE(router.Routes());
  const struct {
    int64_t ms;
    bool key, copied;
  } packets[] = {
      {0, true, false},    {1000, false, false}, {2000, true, true},
      {3000, false, true}, {3500, true, true},  // a keyframe the fates do not name keeps the fate
      {4000, true, false}, {4040, false, false},
  };
  for (const auto& step : packets) {
    AVPacket packet = PacketAt(step.ms, step.key);
    EXPECT_EQ(router.Copies(&packet), step.copied) << step.ms;
  }
  // A keyframe without a time keeps the fate too.
  AVPacket untimed = PacketAt(AV_NOPTS_VALUE, true);
  EXPECT_FALSE(router.Copies(&untimed));

  // Starting afresh forgets the stretch being read.
  AVPacket copiedKey = PacketAt(2000, true);
  EXPECT_TRUE(router.Copies(&copiedKey));
  router.Start({});
  AVPacket next = PacketAt(2040, false);
  EXPECT_FALSE(router.Copies(&next));
}

TEST(PacketRouter, ACopiedHeadEndsWithTheFirstPacketAndPictureShownFromItsEnd) {
  PacketRouter router = RouterWith({{.KeyframeSeconds = 0.0, .Copied = true},
                                    {.KeyframeSeconds = 4.0, .HeadUntilSeconds = 4.5}});
  AVPacket key = PacketAt(4000, true);
  ASSERT_FALSE(router.Copies(&key));
  for (int64_t ms : {4000, 4200}) {
    AVPacket packet = PacketAt(ms, false);
    EXPECT_TRUE(router.InCopiedHead(&packet)) << ms;
  }
  AVPacket past = PacketAt(4600, false);
  EXPECT_FALSE(router.InCopiedHead(&past));
  AVPacket late = PacketAt(4100, false);
  EXPECT_FALSE(router.InCopiedHead(&late)) << "the head does not start again";

  for (int64_t ms : {4000, 4400}) {
    AVFrame picture = PictureAt(ms);
    EXPECT_TRUE(router.DropsPicture(&picture)) << ms;
  }
  AVFrame end = PictureAt(4500);
  EXPECT_FALSE(router.DropsPicture(&end));
  AVFrame after = PictureAt(4100);
  EXPECT_FALSE(router.DropsPicture(&after));
}

TEST(PacketRouter, AHeldOpenKeyframeLetsGoThePicturesFromItOnUntilTheDecoderRestarts) {
  PacketRouter router =
      RouterWith({{.KeyframeSeconds = 0.0, .Copied = false},
                  {.KeyframeSeconds = 2.0, .Copied = true, .EncodesLeading = true}});
  AVPacket key = PacketAt(2000, true);
  ASSERT_TRUE(router.Copies(&key));
  AVPacket other = PacketAt(2040, false);
  EXPECT_FALSE(router.OwesLeading(&other)) << "only the keyframe is owed its leading pictures";
  EXPECT_TRUE(router.OwesLeading(&key));
  EXPECT_FALSE(router.OwesLeading(&key)) << "once";

  router.StartLeading();
  EXPECT_TRUE(router.CollectingLeading());
  AVFrame leading = PictureAt(1920);
  EXPECT_FALSE(router.DropsPicture(&leading));
  AVFrame own = PictureAt(2000);
  EXPECT_TRUE(router.DropsPicture(&own));
  AVFrame untimed = PictureAt(AV_NOPTS_VALUE);
  EXPECT_FALSE(router.DropsPicture(&untimed));

  // An empty packet is no leading picture's: it ends them.
  AVPacket empty = PacketAt(2080, false);
  EXPECT_FALSE(router.IsLeading(&empty));
  EXPECT_FALSE(router.CollectingLeading());
  router.DecoderRestarted();
  EXPECT_FALSE(router.DropsPicture(&own));
}

}  // namespace
