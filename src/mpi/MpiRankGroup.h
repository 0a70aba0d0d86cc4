// The ranks of an MPI job as a run's group (see app/RankGroup.h): agreement and gathering
// over MPI_COMM_WORLD, from the main thread only.
#pragma once

#include "app/RankGroup.h"

namespace tarnwell::mpi {

class MpiRankGroup : public RankGroup {
 public:
  MpiRankGroup();
  int Rank() const override { return rank_; }
  int Size() const override { return size_; }
  void Agree(const std::string& problem) override;
  std::vector<std::string> Gather(const std::string& mine) override;

 private:
  int rank_ = 0, size_ = 1;
};

}  // namespace tarnwell::mpi
