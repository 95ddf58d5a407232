#include "support/SyncProbe.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace testsupport {

std::string FlashVideo(double rate, double duration, double flashAt, const std::string& filter) {
  std::ostringstream text;
  text << "-f lavfi -i \"color=c=black:s=160x120:r=" << rate << ":d=" << duration
       << ",drawbox=c=white:t=fill:enable='between(t," << flashAt << "," << flashAt + 0.9 / rate
       << ")'" << filter << "\"";
  return text.str();
}

std::string VariableRateFlashVideo(double duration, double flashAt) {
  return FlashVideo(50, duration, flashAt, ",select='gte(t\\,2)+not(mod(n\\,2))'");
}

std::string FlashVideo(double rate, double duration, double flashAt) {
  return FlashVideo(rate, duration, flashAt, "");
}

std::string Beep(double duration, double beepAt) {
  std::ostringstream text;
  text << "-f lavfi -i \"aevalsrc='if(between(t," << beepAt << "," << beepAt + 0.1
       << "),0.8*sin(2*PI*1000*t),0)':s=48000:d=" << duration << "\"";
  return text.str();
}

// The first picture brighter than mid-grey, by its presentation time.
double FlashTime(const fs::path& file) {
  std::istringstream lines(Ffprobe("-f lavfi \"movie=" + file.string() +
                                   ",signalstats\" -show_entries frame=pts_time:frame_tags="
                                   "lavfi.signalstats.YAVG -of csv=p=0"));
  for (std::string line; std::getline(lines, line);) {
    const size_t comma = line.find(',');
    if (comma != std::string::npos && std::atof(line.c_str() + comma + 1) > 128)
      return std::atof(line.c_str());
  }
  return -1;
}

// The decoded audio as 48 kHz mono, silence in front of its first sample so
// that sample 0 is at the source's time 0 (the pictures' times are the
// source's own too).
std::vector<int16_t> DecodedAudio(const fs::path& file) {
  std::string raw;
  RunShell("ffmpeg -v error -copyts -i " + file.string() +
               " -map 0:a -af aresample=async=1:first_pts=0 -ac 1 -ar 48000 -f s16le - 2>/dev/null",
           &raw);
  std::vector<int16_t> samples(raw.size() / 2);
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  return samples;
}

double BeepTime(const std::vector<int16_t>& samples) {
  for (size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i]) > 8000) return double(i) / 48000;
  return -1;
}

double StreamEntry(const fs::path& file, const std::string& stream, const std::string& entry) {
  return std::atof(Ffprobe("-select_streams " + stream + " -show_entries stream=" + entry +
                           " -of csv=p=0 " + file.string())
                       .c_str());
}

// The end of the last picture.
double VideoEnd(const fs::path& file) {
  const std::string last = Ffprobe("-select_streams v -show_entries frame=pts_time -of csv=p=0 " +
                                   file.string() + " | tail -1");
  std::istringstream lines(last);
  double end = 0;
  for (std::string line; std::getline(lines, line);) end = std::atof(line.c_str());
  return end + 1 / StreamEntry(file, "v", "r_frame_rate");
}

// Where the audio stream ends as its header states it: its start and length.
double HeaderAudioEnd(const fs::path& file) {
  // The first packet's time: the stream's start as AVI states it.
  const double start = std::atof(Ffprobe("-select_streams a -show_entries packet=pts_time -of "
                                         "csv=p=0 " +
                                         file.string() + " | head -1")
                                     .c_str());
  const std::string duration = Ffprobe(
      "-select_streams a -show_entries stream=duration -of "
      "csv=p=0 " +
      file.string());
  if (duration.find("N/A") == std::string::npos) return start + std::atof(duration.c_str());
  // PCM: counted in samples.
  return start + StreamEntry(file, "a", "nb_frames") / StreamEntry(file, "a", "sample_rate");
}

Measured MeasureSync(const fs::path& file) {
  const std::vector<int16_t> audio = DecodedAudio(file);
  const double flash = FlashTime(file), beep = BeepTime(audio);
  EXPECT_GE(flash, 0) << file;
  EXPECT_GE(beep, 0) << file;
  return {beep - flash, double(audio.size()) / 48000 - VideoEnd(file)};
}

std::vector<std::string> AudioPacketHashes(const fs::path& file) {
  std::istringstream lines(
      Ffprobe("-select_streams a -show_entries packet=data_hash "
              "-show_data_hash MD5 -of csv=p=0 " +
              file.string()));
  std::vector<std::string> hashes;
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find("MD5:");
    if (at != std::string::npos) hashes.push_back(line.substr(at, 36));
  }
  return hashes;
}

int DecodedPictures(const fs::path& file) {
  return std::atoi(Ffprobe("-count_frames -select_streams v -show_entries stream=nb_read_frames "
                           "-of csv=p=0 " +
                           file.string())
                       .c_str());
}

}  // namespace testsupport
