// Which stretches a job copies and which it encodes: keyframe to keyframe,
// only where a subtitle is shown, and on past open groups of pictures.
#include "job/SmartPlan.h"

#include <gtest/gtest.h>

using SMARTPLAN::Keyframe;
using SMARTPLAN::OpenKeyframes;
using SMARTPLAN::Plan;
using SMARTPLAN::Shown;
using SMARTPLAN::Stretch;

namespace {

// A keyframe every two seconds over `seconds`.
std::vector<Keyframe> EveryTwoSeconds(double seconds, bool closed = true) {
  std::vector<Keyframe> keyframes;
  for (double at = 0.0; at < seconds; at += 2.0) keyframes.push_back({at, closed});
  return keyframes;
}

std::string Describe(const std::vector<Stretch>& plan) {
  std::string text;
  for (const Stretch& s : plan)
    text += (s.Encode ? "E" : "C") + std::to_string(s.FirstKeyframe) + "-" +
            std::to_string(s.EndKeyframe) + " ";
  return text;
}

}  // namespace

TEST(SmartPlanTest, OnlyTheGroupsASubtitleIsShownInAreEncoded) {
  const auto keyframes = EveryTwoSeconds(20.0);
  // At the start; across the keyframe at 8 s; at the end; and one that ends
  // exactly on the keyframe at 14 s, which leaves the group from 14 s alone.
  const std::vector<Shown> shown = {{0.0, 1.0}, {7.5, 8.5}, {12.5, 14.0}, {19.0, 20.0}};
  const auto plan = Plan(keyframes, 20.0, shown);
  EXPECT_EQ(Describe(plan), "E0-1 C1-3 E3-5 C5-6 E6-7 C7-9 E9-10 ");
  EXPECT_DOUBLE_EQ(plan[2].FromSeconds, 6.0);
  EXPECT_DOUBLE_EQ(plan[2].ToSeconds, 10.0);
  EXPECT_DOUBLE_EQ(plan.back().ToSeconds, 20.0);
  EXPECT_DOUBLE_EQ(SMARTPLAN::EncodedSeconds(plan, keyframes), 2.0 + 4.0 + 2.0 + 2.0);
}

TEST(SmartPlanTest, NothingShownIsOneCopyAndEverythingShownIsOneEncode) {
  const auto keyframes = EveryTwoSeconds(10.0);
  EXPECT_EQ(Describe(Plan(keyframes, 10.0, {})), "C0-5 ");
  EXPECT_EQ(Describe(Plan(keyframes, 10.0, {{-5.0, 50.0}})), "E0-5 ");
  // An empty or backwards interval shows nothing.
  EXPECT_EQ(Describe(Plan(keyframes, 10.0, {{3.0, 3.0}, {5.0, 4.0}})), "C0-5 ");
  EXPECT_TRUE(Plan({}, 10.0, {{1.0, 2.0}}).empty());
}

TEST(SmartPlanTest, OpenKeyframesTieTheGroupsOnBothSides) {
  // Keyframes at 0, 2, 4 (open), 6 (open), 8 (closed), 10 (open).
  std::vector<Keyframe> keyframes = EveryTwoSeconds(12.0);
  keyframes[2].Closed = keyframes[3].Closed = keyframes[5].Closed = false;
  // Shown in the first of the tied groups, or the last: all three encode.
  EXPECT_EQ(Describe(Plan(keyframes, 12.0, {{2.5, 3.0}})), "C0-1 E1-4 C4-6 ");
  EXPECT_EQ(Describe(Plan(keyframes, 12.0, {{6.5, 7.0}})), "C0-1 E1-4 C4-6 ");
  // The closed keyframe at 8 s parts them from the last pair.
  EXPECT_EQ(Describe(Plan(keyframes, 12.0, {{11.0, 11.5}})), "C0-4 E4-6 ");
  EXPECT_EQ(Describe(Plan(keyframes, 12.0, {{0.5, 1.0}})), "E0-1 C1-6 ");
}

TEST(SmartPlanTest, IrregularKeyframesAndAStreamEndingLate) {
  const std::vector<Keyframe> keyframes = {{0.04, true}, {0.5, true}, {7.3, true}, {7.34, true}};
  const auto plan = Plan(keyframes, 30.0, {{7.32, 7.33}});
  EXPECT_EQ(Describe(plan), "C0-2 E2-3 C3-4 ");
  EXPECT_DOUBLE_EQ(plan.back().ToSeconds, 30.0);
  EXPECT_DOUBLE_EQ(SMARTPLAN::EncodedSeconds(plan, keyframes), 7.34 - 7.3);
}

// An encoded stretch after a copied one starts its encoding at the last cut
// before its first subtitle; the pictures before are copied.
TEST(SmartPlanTest, AHeadBeforeTheFirstSubtitleIsCopied) {
  std::vector<Keyframe> keyframes = EveryTwoSeconds(12.0);
  const std::vector<double> cuts = {0.16, 2.16, 2.32, 2.48, 4.16, 8.16, 10.16, 10.32};
  // Shown from 2.4 s (a head to 2.32), across 4 s (merged with the group
  // before, no head of its own) and from 10.2 s (a head to 10.16).
  const std::vector<Shown> shown = {{2.4, 3.0}, {3.9, 4.5}, {10.2, 10.3}};
  auto plan = Plan(keyframes, 12.0, shown, cuts);
  ASSERT_EQ(Describe(plan), "C0-1 E1-3 C3-5 E5-6 ");
  EXPECT_DOUBLE_EQ(plan[1].EncodeFromSeconds, 2.32);
  EXPECT_DOUBLE_EQ(plan[3].EncodeFromSeconds, 10.16);
  EXPECT_DOUBLE_EQ(SMARTPLAN::EncodedSeconds(plan, keyframes), (6.0 - 2.32) + (12.0 - 10.16));
  // A subtitle from the keyframe on, or no cut before it: no head.
  EXPECT_DOUBLE_EQ(Plan(keyframes, 12.0, {{2.0, 2.5}}, cuts)[1].EncodeFromSeconds, 2.0);
  EXPECT_DOUBLE_EQ(Plan(keyframes, 12.0, {{6.5, 7.0}}, cuts)[1].EncodeFromSeconds, 6.0);
  // The first stretch may have one too, unless it starts on an open
  // keyframe whose leading pictures other pictures refer to.
  plan = Plan(keyframes, 12.0, {{0.5, 1.0}}, cuts);
  EXPECT_DOUBLE_EQ(plan[0].EncodeFromSeconds, 0.16);
  EXPECT_DOUBLE_EQ(plan[1].EncodeFromSeconds, 2.0);
  keyframes[0].Closed = false;
  EXPECT_DOUBLE_EQ(Plan(keyframes, 12.0, {{0.5, 1.0}}, cuts)[0].EncodeFromSeconds, 0.0);
  EXPECT_DOUBLE_EQ(
      Plan(keyframes, 12.0, {{0.5, 1.0}}, cuts, OpenKeyframes::Part)[0].EncodeFromSeconds, 0.16);
}

// Where no picture after an open keyframe's leading pictures refers to them,
// the keyframe parts the groups: after an encoded group, its leading
// pictures are encoded with it; before one, they are the copied head of the
// encoded stretch, unless the subtitle comes before any cut past them.
TEST(SmartPlanTest, OpenKeyframesThatPartLeaveTheirNeighboursCopied) {
  std::vector<Keyframe> keyframes = EveryTwoSeconds(12.0, false);
  keyframes[0].Closed = true;
  for (Keyframe& keyframe : keyframes) keyframe.LeadingSeconds = keyframe.Closed ? 0.0 : 0.12;
  // Cuts before each keyframe's leading pictures and a little after it.
  std::vector<double> cuts;
  for (double at = 2.0; at < 12.0; at += 2.0) cuts.insert(cuts.end(), {at - 0.12, at + 0.16});
  auto plan = Plan(keyframes, 12.0, {{4.5, 5.0}}, cuts, OpenKeyframes::Part);
  EXPECT_EQ(Describe(plan), "C0-2 E2-3 C3-6 ");
  EXPECT_DOUBLE_EQ(plan[1].EncodeFromSeconds, 4.16);
  EXPECT_FALSE(plan[0].EncodesLeading);
  EXPECT_TRUE(plan[2].EncodesLeading);
  EXPECT_DOUBLE_EQ(SMARTPLAN::EncodedSeconds(plan, keyframes), (6.0 - 4.16) + 0.12);
  // Tied, the same subtitle ties every group to it; the head still copies
  // the pictures before it, and everything after is encoded.
  plan = Plan(keyframes, 12.0, {{4.5, 5.0}}, cuts);
  EXPECT_EQ(Describe(plan), "E0-6 ");
  EXPECT_DOUBLE_EQ(plan[0].EncodeFromSeconds, 4.16);
  // A subtitle from the keyframe on leaves no head: the group before is
  // encoded too, and its own keyframe parts it from the one before that.
  plan = Plan(keyframes, 12.0, {{6.0, 6.5}}, cuts, OpenKeyframes::Part);
  EXPECT_EQ(Describe(plan), "C0-2 E2-4 C4-6 ");
  EXPECT_DOUBLE_EQ(plan[1].EncodeFromSeconds, 5.88);
  EXPECT_TRUE(plan[2].EncodesLeading);
}
