// TScriptedAsker: answers the program's questions from the test and remembers what was said.
// Questions during an operation take their answers from Answers in turn (the last one repeats),
// or Answer when the list is empty; confirmations answer Answer.
#pragma once

#include "main/asker.h"

#include <QString>

#include <algorithm>
#include <vector>

namespace corvane::test {

struct TScriptedAsker final : TAsker {
  void Error(QWidget*, const QString& text) override {
    Errors.push_back(text);
    Said.push_back(text);
  }
  void Information(QWidget*, const QString& text) override { Said.push_back(text); }
  TAnswer YesNo(QWidget*, const QString& text) override {
    Said.push_back(text);
    return Answer;
  }
  TAnswer YesNoCancelAll(QWidget*, const QString& text) override {
    Said.push_back(text);
    ++Asked;
    if (Answers.empty())
      return Answer;
    return Answers[static_cast<size_t>(std::min<int>(Asked, int(Answers.size())) - 1)];
  }

  TAnswer Answer = No;
  std::vector<TAnswer> Answers;
  std::vector<QString> Errors;
  std::vector<QString> Said;
  int Asked = 0;
};

} // namespace corvane::test
