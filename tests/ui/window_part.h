// The main window's parts as a user finds them: by their object names.
#pragma once

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>

namespace corvane::test {

template <class TPart = QWidget> TPart* Part(const QObject& window, const char* name) {
  TPart* part = window.findChild<TPart*>(QString::fromLatin1(name));
  if (!part) {
    ADD_FAILURE() << "the window has no " << name;
    std::abort();
  }
  return part;
}

} // namespace corvane::test
