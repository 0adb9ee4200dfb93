// Keeps the job's table on the console while the libraries' console output goes to a log file.
#ifndef ARM_SIM__MAIN_JOB__CONSOLE_DIVERSION_HPP_
#define ARM_SIM__MAIN_JOB__CONSOLE_DIVERSION_HPP_

#include <ext/stdio_filebuf.h>

#include <ostream>
#include <string>

namespace arm_sim
{

class ConsoleDiversion
{
public:
  // From now on standard output goes to `log_path`; console() writes where it went before.
  // Throws std::runtime_error when the log cannot be written.
  explicit ConsoleDiversion(const std::string & log_path);
  ConsoleDiversion(const ConsoleDiversion &) = delete;
  ConsoleDiversion & operator=(const ConsoleDiversion &) = delete;

  std::ostream & console() {return console_;}

private:
  __gnu_cxx::stdio_filebuf<char> buffer_;
  std::ostream console_;
};

}  // namespace arm_sim

#endif  // ARM_SIM__MAIN_JOB__CONSOLE_DIVERSION_HPP_
