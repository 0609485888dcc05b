// SPDX-License-Identifier: MIT
#include "FakeToolSandbox.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Shell is fine here: this is the fake tool, not the code under test.
constexpr const char* kFakeTool = R"(#!/bin/sh
root='@ROOT@'
name='@NAME@'
printf '%s\n' "$name $*" >> "$root/tool-processes.log"
answers="$root/answers/$name"
# Fields are split on the unit separator: a tab or space would merge empty ones.
# It stands in the script itself: a command substitution would cost a fork on
# every run of every stand-in.
sep=')"
                                  "\x1f"
                                  R"('
# Logs one command and answers it as told; returns its status.
run_one() {
  printf '%s\n' "$name $1" >> "$root/tool-runs.log"
  if [ -f "$root/holds/$name" ]; then
    while IFS= read -r prefix; do
      case "$1" in
        "$prefix"*)
          : > "$root/holds/reached"
          # Until released, or until the sandbox is gone.
          while [ -d "$root/holds" ] && [ ! -e "$root/holds/released" ]; do sleep 0.02; done;;
      esac
    done < "$root/holds/$name"
  fi
  [ -f "$answers" ] || return 0
  while IFS="$sep" read -r args status pause out err; do
    if [ "$args" = '*' ] || [ "$args" = "$1" ]; then
      if [ "$pause" != 0 ]; then sleep "$pause"; fi
      printf '%b' "$out"
      printf '%b' "$err" >&2
      return "$status"
    fi
  done < "$answers"
  return 0
}
# As tc and ip run a batch: each line a command, stopping at the first that
# fails unless forced, each failure named by file ("-": the standard input)
# and line.
if [ "$1" = -batch ] || { [ "$1" = -force ] && [ "$2" = -batch ]; }; then
  force=false
  if [ "$1" = -force ]; then force=true; shift; fi
  file=$2
  if [ "$file" != - ]; then exec < "$file"; fi
  number=0
  failed=0
  while IFS= read -r line; do
    number=$((number + 1))
    run_one "$line"
    status=$?
    if [ "$status" != 0 ]; then
      echo "Command failed $file:$number" >&2
      failed=$status
      $force || exit "$status"
    fi
  done
  exit "$failed"
fi
if [ "$name" = pfctl ] && [ "$1" = -a ] && [ "$3" = -f ]; then
  cat "$4" >> "$root/loaded-anchor-rules" 2>/dev/null
fi
if [ "$name" = pfctl ] && [ "$1" = -f ]; then
  cat "$2" > "$root/loaded-pf.conf" 2>/dev/null
fi
run_one "$*"
exit $?
)";

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

} // namespace

const char* const FakeToolSandbox::kDefaultPfConf = "scrub-anchor \"com.apple/*\"\n"
                                                    "nat-anchor \"com.apple/*\"\n"
                                                    "rdr-anchor \"com.apple/*\"\n"
                                                    "dummynet-anchor \"com.apple/*\"\n"
                                                    "anchor \"com.apple/*\"\n"
                                                    "load anchor \"com.apple\" from "
                                                    "\"/etc/pf.anchors/com.apple\"\n";

FakeToolSandbox::FakeToolSandbox() {
    std::string pattern = (fs::temp_directory_path() / "veltrane-sandbox-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create sandbox folder");
    }
    m_root = pattern;
    // The daemon may run as another user than the test in some set-ups.
    fs::permissions(m_root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    for (const char* folder : {"/etc", "/tmp", "/sbin", "/usr/sbin", "/answers"}) {
        fs::create_directories(m_root + folder);
    }
    installTool("/sbin/pfctl");
    installTool("/usr/sbin/dnctl");
    installTool("/usr/sbin/tc");
    installTool("/usr/sbin/ip");
    installTool("/usr/sbin/nft");
    writeFile("/etc/pf.conf", kDefaultPfConf);
    writeFile("/tool-runs.log", "");
    writeFile("/tool-processes.log", "");
}

FakeToolSandbox::~FakeToolSandbox() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void FakeToolSandbox::installTool(const std::string& absolutePath) {
    const std::string name = fs::path(absolutePath).filename().string();
    fs::create_directories(fs::path(path(absolutePath)).parent_path());
    writeFile(absolutePath, replaceAll(replaceAll(kFakeTool, "@ROOT@", m_root), "@NAME@", name));
    fs::permissions(path(absolutePath), fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec);
}

void FakeToolSandbox::answer(const std::string& tool, const std::string& arguments, int exitCode,
                             const std::string& output, const std::string& error,
                             double sleepSeconds) {
    std::ofstream answers(m_root + "/answers/" + tool, std::ios::app);
    std::ostringstream pause;
    pause << sleepSeconds;
    constexpr char separator = '\x1f';
    answers << arguments << separator << exitCode << separator << pause.str() << separator << output
            << separator << error << '\n';
}

void FakeToolSandbox::hold(const std::string& tool, const std::string& prefix) const {
    std::error_code ignored;
    fs::remove_all(path("/holds"), ignored);
    fs::create_directories(path("/holds"));
    writeFile("/holds/" + tool, prefix + '\n');
}

bool FakeToolSandbox::holding() const {
    return exists("/holds/reached") && !exists("/holds/released");
}

void FakeToolSandbox::release() const {
    writeFile("/holds/released", "");
}

void FakeToolSandbox::clearAnswers() const {
    std::error_code ignored;
    fs::remove_all(path("/answers"), ignored);
    fs::create_directories(path("/answers"));
}

std::vector<std::string> FakeToolSandbox::toolRuns() const {
    std::vector<std::string> runs;
    std::istringstream log(readFile("/tool-runs.log"));
    for (std::string line; std::getline(log, line);) {
        runs.push_back(replaceAll(line, m_root, ""));
    }
    return runs;
}

std::vector<std::string> FakeToolSandbox::toolProcesses() const {
    std::vector<std::string> runs;
    std::istringstream log(readFile("/tool-processes.log"));
    for (std::string line; std::getline(log, line);) {
        runs.push_back(replaceAll(line, m_root, ""));
    }
    return runs;
}

void FakeToolSandbox::clearToolRuns() const {
    writeFile("/tool-runs.log", "");
    writeFile("/tool-processes.log", "");
    std::error_code ignored;
    fs::remove(path("/loaded-anchor-rules"), ignored);
}

std::string FakeToolSandbox::loadedPfConf() const {
    return exists("/loaded-pf.conf") ? readFile("/loaded-pf.conf") : std::string();
}

std::string FakeToolSandbox::loadedAnchorRules() const {
    return exists("/loaded-anchor-rules") ? readFile("/loaded-anchor-rules") : std::string();
}

void FakeToolSandbox::writeFile(const std::string& absolutePath,
                                const std::string& contents) const {
    std::ofstream file(path(absolutePath), std::ios::binary | std::ios::trunc);
    file << contents;
    if (!file) {
        throw std::runtime_error("cannot write " + absolutePath);
    }
}

std::string FakeToolSandbox::readFile(const std::string& absolutePath) const {
    std::ifstream file(path(absolutePath), std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + absolutePath);
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

bool FakeToolSandbox::exists(const std::string& absolutePath) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path(absolutePath), ignored));
}
