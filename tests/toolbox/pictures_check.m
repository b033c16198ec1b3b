## status = pictures_check ()
## Makes the guide's pictures with scripts/make_pictures.m in a temporary
## folder, without a display, and checks each PNG: its size in pixels and
## bytes, and that it is not blank (many colours, none of them covering
## nearly the whole picture). 0 when all pass.
function status = pictures_check ()
  out_dir = tempname ();
  unwind_protect
    files = make_pictures (out_dir);
    status = 0;
    expected = {"tarn_plot_iris.png", "tarn_tuning_iris.png", "tarn_tuning_wine.png", ...
                "tarn_tuning_breast_cancer.png", "tarn_confusion_wine.png"};
    [~, names, ext] = cellfun (@fileparts, files, "UniformOutput", false);
    if (! isequal (sort (strcat (names, ext)), sort (expected(:))))
      printf ("pictures_check: made %s\n", strjoin (strcat (names, ext)', ", "));
      status = 1;
    endif
    for k = 1:numel (files)
      info = dir (files{k});
      img = imread (files{k});
      pixels = reshape (img, [], size (img, 3));
      [~, ~, which] = unique (pixels, "rows");
      counts = accumarray (which, 1);
      ok = info.bytes > 10000 && size (img, 1) >= 400 && size (img, 2) >= 600 ...
           && numel (counts) > 50 && max (counts) < 0.9 * rows (pixels);
      printf ("%-32s %4dx%-4d %7d bytes %6d colours, commonest %.0f%%: %s\n", [names{k} ext{k}], ...
              size (img, 2), size (img, 1), info.bytes, numel (counts),
              100 * max (counts) / rows (pixels), merge (ok, "ok", "FAILED"));
      status = max (status, ! ok);
    endfor
  unwind_protect_cleanup
    confirm_recursive_rmdir (false, "local");
    if (exist (out_dir, "dir"))
      rmdir (out_dir, "s");
    endif
  end_unwind_protect
endfunction
