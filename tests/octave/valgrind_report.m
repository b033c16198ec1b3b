## status = valgrind_report (xml_file, battery_log)
## Reads memcheck's XML report of a run of valgrind_battery and the probe
## plug-in, and counts the errors whose stacks (where the fault happened,
## where the block was allocated or where an uninitialised value was made)
## pass through the tarn plug-ins or through the probe. Octave's own errors
## are counted apart and ignored. Status 0 when the battery completed, no
## error comes from the tarn plug-ins, and the probe's leak, invalid read
## and uninitialised branch were all caught.

function status = valgrind_report (xml_file, battery_log)
  text = fileread (xml_file);
  blocks = regexp (text, '<error>.*?</error>', 'match');
  plugin_kinds = {};
  probe_kinds = {};
  others = 0;
  for k = 1:numel (blocks)
    kind = regexp (blocks{k}, '<kind>(\w+)</kind>', 'tokens', 'once'){1};
    objects = regexp (blocks{k}, '<obj>([^<]*)</obj>', 'tokens');
    objects = cellfun (@(c) c{1}, objects, "UniformOutput", false);
    if (any (! cellfun (@isempty, regexp (objects, '(tarn_learn|tarn_score|tarn_resume|tarn_evidence)\.mex$'))))
      plugin_kinds{end + 1} = kind;
      what = regexp (blocks{k}, '<(what|text)>([^<]*)</', 'tokens', 'once');
      frames = regexp (blocks{k}, '<fn>([^<]*)</fn>', 'tokens');
      frames = cellfun (@(c) c{1}, frames(1:min (8, end)), "UniformOutput", false);
      printf ("valgrind: plug-in error %s: %s\n  in %s\n", kind, what{end}, strjoin (frames, " < "));
    elseif (any (! cellfun (@isempty, regexp (objects, 'valgrind_probe\.mex$'))))
      probe_kinds{end + 1} = kind;
    else
      others++;
    endif
  endfor

  completed = ! isempty (strfind (fileread (battery_log), "valgrind battery: "));
  probe_caught = all (ismember ({"Leak_DefinitelyLost", "InvalidRead", "UninitCondition"}, probe_kinds));
  printf ("valgrind: %d errors from the tarn plug-ins, %d from the probe (%s), %d elsewhere in Octave (ignored)\n",
          numel (plugin_kinds), numel (probe_kinds), strjoin (unique (probe_kinds), ", "), others);
  if (! completed)
    printf ("valgrind: the battery did not complete\n");
  endif
  if (! probe_caught)
    printf ("valgrind: the probe's faults were not all caught: the check cannot be trusted\n");
  endif
  status = double (! (completed && probe_caught && isempty (plugin_kinds)));
endfunction
