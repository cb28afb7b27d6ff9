#include "link/memory_window.h"

#include <algorithm>

#include "link/error_report.h"

namespace r7700 {

void MemoryWindow::SetText(int id, std::string_view text) {
  controls_[id].text = text;
}

std::string MemoryWindow::GetText(int id) {
  return controls_[id].text;
}

void MemoryWindow::AppendText(int id, std::string_view text) {
  controls_[id].text += text;
}

void MemoryWindow::SetCaretToStart(int) {}

bool MemoryWindow::IsChecked(int id) {
  return controls_[id].checked;
}

void MemoryWindow::SetChecked(int id, bool checked) {
  controls_[id].checked = checked;
}

void MemoryWindow::Enable(int id, bool enabled) {
  controls_[id].enabled = enabled;
}

bool MemoryWindow::IsEnabled(int id) {
  return controls_[id].enabled;
}

void MemoryWindow::ListAdd(int id, std::string_view item) {
  controls_[id].items.emplace_back(item);
}

void MemoryWindow::ListClear(int id) {
  controls_[id].items.clear();
  controls_[id].selection = -1;
}

void MemoryWindow::ListSelect(int id, int pos) {
  Control& c = controls_[id];
  c.selection = pos >= 0 && pos < static_cast<int>(c.items.size()) ? pos : -1;
  c.text = c.selection >= 0 ? c.items[static_cast<size_t>(pos)] : std::string();
}

int MemoryWindow::ListSelection(int id) {
  return controls_[id].selection;
}

int MemoryWindow::ListCount(int id) {
  return static_cast<int>(controls_[id].items.size());
}

std::string MemoryWindow::ListItem(int id, int pos) {
  const Control& c = controls_[id];
  if (pos < 0 || pos >= static_cast<int>(c.items.size())) return {};
  return c.items[static_cast<size_t>(pos)];
}

void MemoryWindow::ProgressSetRange(int low, int high) {
  progress_low_ = low;
  progress_high_ = high;
  progress_pos_ = std::clamp(progress_pos_, low, high);
}

void MemoryWindow::ProgressSetStep(int step) {
  progress_step_ = step;
}

void MemoryWindow::ProgressSetPos(int pos) {
  progress_pos_ = std::clamp(pos, progress_low_, progress_high_);
}

void MemoryWindow::ProgressStepIt() {
  ++progress_steps_;
  // Like the common control: stepping past the top wraps to the bottom.
  progress_pos_ += progress_step_;
  if (progress_pos_ > progress_high_)
    progress_pos_ = progress_low_ + (progress_pos_ - progress_high_);
}

std::string MemoryWindow::StringResource(int entry, size_t buffer_bytes) {
  return LoadedTableEntry(entry, buffer_bytes);
}

BoxAnswer MemoryWindow::ShowBox(std::string_view text, std::string_view caption, BoxIcon icon,
                                BoxButtons buttons) {
  boxes_.push_back(ShownBox{std::string(text), std::string(caption), icon, buttons});
  if (buttons == BoxButtons::kOk) return BoxAnswer::kOk;
  return answerer_ ? answerer_(boxes_.back()) : BoxAnswer::kYes;
}

}  // namespace r7700
