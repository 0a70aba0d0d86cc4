// Basin sums of a day. A sum over the cells is formed as one partial sum per grid row
// (the row's cells in column order, starting from 0.0), and the row sums are then added
// in row order to a total starting from 0.0. A multi-threaded engine that keeps one
// partial per row and adds them in row order gets the same bits as the sequential sweep.
#pragma once

namespace tarnwell {

class RowPartialSum {
 public:
  void Add(double v) { row_ += v; }
  // Closes the current row: its partial sum (0.0 for a row without basin cells) joins
  // the total.
  void EndRow() {
    total_ += row_;
    row_ = 0.0;
  }
  double Total() const { return total_; }

 private:
  double row_ = 0.0;
  double total_ = 0.0;
};

}  // namespace tarnwell
