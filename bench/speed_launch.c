/* Runs one program and prints its wall time and CPU time in seconds, its peak
 * resident memory in kilobytes and its exit status, on one line:
 *
 *   speed_launch INPUT OUTPUT DIRECTORY PROGRAM [ARGUMENT...]
 *
 * with standard input from INPUT, standard output to OUTPUT (made anew) and
 * DIRECTORY as the working directory ("-" keeps the launcher's). A child's
 * peak memory counts what it held before its exec, a copy of its parent; this
 * launcher is a small static C program, so the peak is the program's own,
 * which it would not be when the large speed table forked it itself. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double
Now(void)
{
	struct timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

int
main(int argc, char** argv)
{
	if (argc < 5) {
		fprintf(stderr, "usage: speed_launch INPUT OUTPUT DIRECTORY PROGRAM [ARGUMENT...]\n");
		return 2;
	}
	double start = Now();
	pid_t child = fork();
	if (child < 0)
		return 1;
	if (child == 0) {
		int in = open(argv[1], O_RDONLY);
		int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0)
			_exit(126);
		if (strcmp(argv[3], "-") != 0 && chdir(argv[3]) != 0)
			_exit(126);
		execv(argv[4], argv + 4);
		_exit(127);
	}
	int status = 0;
	struct rusage usage;
	if (wait4(child, &status, 0, &usage) != child)
		return 1;
	double wall = Now() - start;
	double cpu = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
		+ (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
	printf("%.9f %.9f %ld %d\n", wall, cpu, usage.ru_maxrss,
		WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
	return 0;
}
