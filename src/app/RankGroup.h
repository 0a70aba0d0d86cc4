// The processes of a run spread over several machines (the ranks of an MPI job): what the
// driver needs of them, without depending on MPI itself. The MPI library beside the core
// implements it; a run in one process has none.
#pragma once

#include <string>
#include <vector>

namespace tarnwell {

class RankGroup {
 public:
  virtual ~RankGroup() = default;
  virtual int Rank() const = 0;
  virtual int Size() const = 0;
  // Every rank learns whether every rank got this far (an empty problem: it did). When one
  // did not, every rank throws the message of the lowest such rank.
  virtual void Agree(const std::string& problem) = 0;
  // Rank 0 receives every rank's bytes, in rank order (its own first); the others nothing.
  virtual std::vector<std::string> Gather(const std::string& mine) = 0;
};

}  // namespace tarnwell
