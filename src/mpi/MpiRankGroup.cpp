#include "mpi/MpiRankGroup.h"

#include <mpi.h>

#include <stdexcept>

#include "mpi/MpiPool.h"

namespace tarnwell::mpi {

namespace {

void Check(int rc, const char* what) {
  if (rc != MPI_SUCCESS) throw std::runtime_error(std::string("MPI ") + what + " failed");
}

}  // namespace

MpiRankGroup::MpiRankGroup() {
  Check(MPI_Comm_rank(MPI_COMM_WORLD, &rank_), "rank");
  Check(MPI_Comm_size(MPI_COMM_WORLD, &size_), "size");
}

void MpiRankGroup::Agree(const std::string& problem) { AgreeReady(problem); }

std::vector<std::string> MpiRankGroup::Gather(const std::string& mine) {
  int length = static_cast<int>(mine.size());
  std::vector<int> lengths(rank_ == 0 ? static_cast<std::size_t>(size_) : 0);
  Check(MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD), "gather");
  std::vector<int> offsets(lengths.size(), 0);
  std::string all;
  if (rank_ == 0) {
    int total = 0;
    for (std::size_t r = 0; r < lengths.size(); ++r) {
      offsets[r] = total;
      total += lengths[r];
    }
    all.resize(static_cast<std::size_t>(total));
  }
  Check(MPI_Gatherv(mine.data(), length, MPI_CHAR, all.data(), lengths.data(), offsets.data(), MPI_CHAR, 0,
                    MPI_COMM_WORLD),
        "gather");
  std::vector<std::string> parts;
  for (std::size_t r = 0; r < lengths.size(); ++r)
    parts.push_back(all.substr(static_cast<std::size_t>(offsets[r]), static_cast<std::size_t>(lengths[r])));
  return parts;
}

}  // namespace tarnwell::mpi
