// wrenvia-standin: the local Twitter stand-in as a program, for demos and
// benchmarks. See usage() below.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tools/standin/standin.h"

namespace {

void Usage() {
  std::cerr <<
      "usage: wrenvia-standin [--host ADDRESS] [--port N] [--prefix PATH]\n"
      "                       (--seed FILE | --generate [--rng-seed N] [--users N] [--statuses N]\n"
      "                                                 [--directs N] [--search-hits N])\n"
      "                       [--user NAME] [--password TEXT] [--dump-seed FILE]\n"
      "                       [--live SECONDS] [--no-auth] [--fault PATH=KIND[:VALUE]]...\n"
      "\n"
      "  --port 0 (the default) picks a free port; the address is printed.\n"
      "  --live: a friend posts something new every SECONDS.\n"
      "  --dump-seed: write the seed as a JSON seed file and stop (a start for a seed of your own).\n"
      "  fault kinds: status:CODE  delay:MS  malformed  object  nodate  oversized:BYTES\n"
      "               drop  drop-mid\n"
      "\n"
      "Point the add-in at it with the account's ApiHost set to the printed address, or\n"
      "send the fixed hosts to it:\n"
      "  WRENVIA_CONNECT_TO=api.twitter.com:443:ADDRESS,search.twitter.com:80:ADDRESS\n"
      "(the https API host needs a certificate the stand-in does not have: prefer ApiHost).\n";
}

bool ParseFault(const std::string& faultText, std::string* path, standin::Fault* fault) {
  const auto eq = faultText.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  *path = faultText.substr(0, eq);
  const std::string kind = faultText.substr(eq + 1, faultText.find(':', eq) == std::string::npos ? std::string::npos
                                                                                       : faultText.find(':', eq) - eq - 1);
  const auto colon = faultText.find(':', eq);
  const std::string value = colon == std::string::npos ? "" : faultText.substr(colon + 1);
  char* end = nullptr;
  const long long number = value.empty() ? 0 : std::strtoll(value.c_str(), &end, 10);
  const bool numberOk = !value.empty() && end && *end == '\0' && number >= 0;
  if (kind == "status" && numberOk) fault->status = static_cast<int>(number);
  else if (kind == "delay" && numberOk) fault->delay = std::chrono::milliseconds(number);
  else if (kind == "malformed") fault->malformedJson = true;
  else if (kind == "object") fault->objectForArray = true;
  else if (kind == "nodate") fault->noDate = true;
  else if (kind == "oversized" && numberOk) fault->oversizedBytes = static_cast<std::size_t>(number);
  else if (kind == "drop") fault->dropBeforeStatus = true;
  else if (kind == "drop-mid") fault->dropMidBody = true;
  else return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = "127.0.0.1", seedFile, dumpFile, user, password;
  int port = 0;
  long live = 0;
  bool generate = false;
  standin::GenerateOptions gen;
  standin::Options options;
  std::vector<std::pair<std::string, standin::Fault>> faults;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](const char* what) -> std::string {
      if (i + 1 >= argc) {
        std::cerr << "wrenvia-standin: " << arg << " needs " << what << "\n";
        std::exit(2);
      }
      return argv[++i];
    };
    auto number = [&](const char* what) -> long long {
      const std::string text = next(what);
      char* end = nullptr;
      const long long v = std::strtoll(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || v < 0) {
        std::cerr << "wrenvia-standin: " << arg << ": not a number: " << text << "\n";
        std::exit(2);
      }
      return v;
    };
    if (arg == "--host") host = next("an address");
    else if (arg == "--port") port = static_cast<int>(number("a port"));
    else if (arg == "--prefix") options.apiPrefix = next("a path");
    else if (arg == "--seed") seedFile = next("a file");
    else if (arg == "--generate") generate = true;
    else if (arg == "--rng-seed") gen.rngSeed = static_cast<std::uint64_t>(number("a number"));
    else if (arg == "--users") gen.users = static_cast<int>(number("a number"));
    else if (arg == "--statuses") gen.statuses = static_cast<int>(number("a number"));
    else if (arg == "--directs") gen.directs = static_cast<int>(number("a number"));
    else if (arg == "--search-hits") gen.searchHits = static_cast<int>(number("a number"));
    else if (arg == "--user") user = next("a name");
    else if (arg == "--password") password = next("a password");
    else if (arg == "--dump-seed") dumpFile = next("a file");
    else if (arg == "--live") live = static_cast<long>(number("seconds"));
    else if (arg == "--no-auth") options.requireAuth = false;
    else if (arg == "--fault") {
      std::string path;
      standin::Fault fault;
      const std::string faultText = next("PATH=KIND[:VALUE]");
      if (!ParseFault(faultText, &path, &fault)) {
        std::cerr << "wrenvia-standin: bad fault: " << faultText << "\n";
        return 2;
      }
      faults.emplace_back(path, fault);
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else {
      std::cerr << "wrenvia-standin: unknown option " << arg << "\n";
      Usage();
      return 2;
    }
  }
  if (seedFile.empty() == !generate) {
    std::cerr << "wrenvia-standin: give either --seed FILE or --generate\n";
    Usage();
    return 2;
  }
  if (port > 65535) {
    std::cerr << "wrenvia-standin: port out of range\n";
    return 2;
  }

  standin::SeedData data;
  if (generate) {
    if (!user.empty()) gen.accountUser = user;
    if (!password.empty()) gen.accountPassword = password;
    data = standin::GenerateSeed(gen);
  } else {
    std::string error;
    if (!standin::LoadSeedFile(seedFile, &data, &error)) {
      std::cerr << "wrenvia-standin: " << error << "\n";
      return 1;
    }
    if (!password.empty()) data.accountPassword = password;
  }
  if (!dumpFile.empty()) {
    std::ofstream out(dumpFile, std::ios::binary | std::ios::trunc);
    out << standin::SeedToJson(data) << "\n";
    if (!out) {
      std::cerr << "wrenvia-standin: cannot write " << dumpFile << "\n";
      return 1;
    }
    return 0;
  }

  // Signals go to this thread only, which waits for them below.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const std::string account = data.accountUser, secret = data.accountPassword;
  standin::StandIn service(std::move(data), options);
  for (auto& [path, fault] : faults) service.SetFault(path, fault);
  if (!service.Start(host, port)) {
    std::cerr << "wrenvia-standin: cannot listen on " << host << ":" << port << "\n";
    return 1;
  }
  const std::string address = host + ":" + std::to_string(service.Port());
  std::cout << "wrenvia-standin: listening on http://" << address << "\n"
            << "  account " << account << " / " << secret << ", API prefix '" << options.apiPrefix << "'\n"
            << "  ApiHost=" << address << "\n"
            << "  WRENVIA_CONNECT_TO=search.twitter.com:80:" << address << "\n"
            << std::flush;

  std::thread poster;
  std::atomic<bool> done{false};
  if (live > 0) {
    poster = std::thread([&] {
      std::uint64_t counter = 0;
      while (!done) {
        for (long waited = 0; waited < live * 10 && !done; ++waited)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (done) break;
        service.EditData([&](standin::SeedData& d) {
          const auto now = static_cast<std::int64_t>(std::time(nullptr));
          d.statuses.push_back(standin::GenerateLivePost(d, ++counter, d.LargestId() + 1, now));
        });
      }
    });
  }

  int received = 0;
  sigwait(&signals, &received);
  done = true;
  if (poster.joinable()) poster.join();
  service.Stop();
  std::cout << "wrenvia-standin: stopped\n";
  return 0;
}
