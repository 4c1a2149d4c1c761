// Runs the registered window test classes: all of them, or the one named by the first
// argument (further arguments go to QtTest).
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "WindowTestSupport.h"

namespace quarnel_test {

namespace {
std::map<std::string, TestFactory>& Registry() {
  static std::map<std::string, TestFactory> registry;
  return registry;
}
}  // namespace

int RegisterWindowTest(const char* name, TestFactory factory) {
  Registry()[name] = factory;
  return 0;
}

}  // namespace quarnel_test

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  auto& registry = quarnel_test::Registry();
  std::string only;
  int first = 1;
  if (argc > 1 && registry.count(argv[1]) != 0) {
    only = argv[1];
    first = 2;
  } else if (argc > 1 && argv[1][0] != '-') {
    std::fprintf(stderr, "no test class named %s\n", argv[1]);
    return 2;
  }
  QStringList args{QString::fromLocal8Bit(argv[0])};
  for (int i = first; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
  int failures = 0;
  for (const auto& [name, factory] : registry) {
    if (!only.empty() && name != only) continue;
    std::unique_ptr<QObject> test(factory());
    failures += QTest::qExec(test.get(), args);
  }
  return failures == 0 ? 0 : 1;
}
