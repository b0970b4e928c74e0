# A root shell on the console (scripts/vm32.sh boot <work-dir> shell).
